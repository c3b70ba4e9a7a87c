#include "wav_writer.h"

#include "lifecycle/file_write.h"

namespace {

constexpr u32 header_bytes = 44;
// The RIFF size fields are 32-bit: the data may not exceed this.
constexpr u64 max_data_bytes = 0xFFFFFFFFull - (header_bytes - 8);

void put_u16(std::vector<u8>& out, u16 value) {
  out.push_back(static_cast<u8>(value));
  out.push_back(static_cast<u8>(value >> 8));
}

void put_u32(std::vector<u8>& out, u32 value) {
  put_u16(out, static_cast<u16>(value));
  put_u16(out, static_cast<u16>(value >> 16));
}

void put_tag(std::vector<u8>& out, const char* tag) {
  out.insert(out.end(), tag, tag + 4);
}

bool fail(std::string* error, const std::string& text) {
  if (error != nullptr) {
    *error = text;
  }
  return false;
}

}  // namespace

bool write_wav(const std::string& path, const std::vector<i16>& samples, int sample_rate,
               std::string* error) {
  if (sample_rate <= 0) {
    return fail(error, "invalid sample rate " + std::to_string(sample_rate));
  }
  const u64 data_bytes = static_cast<u64>(samples.size()) * 2;
  if (data_bytes > max_data_bytes) {
    return fail(error, "too many samples for a WAV file: " + std::to_string(samples.size()));
  }

  std::vector<u8> bytes;
  bytes.reserve(header_bytes + data_bytes);
  put_tag(bytes, "RIFF");
  put_u32(bytes, static_cast<u32>(header_bytes - 8 + data_bytes));
  put_tag(bytes, "WAVE");
  put_tag(bytes, "fmt ");
  put_u32(bytes, 16);  // size of the format chunk
  put_u16(bytes, 1);   // PCM
  put_u16(bytes, 1);   // mono
  put_u32(bytes, static_cast<u32>(sample_rate));
  put_u32(bytes, static_cast<u32>(sample_rate) * 2);  // bytes per second
  put_u16(bytes, 2);                                  // bytes per sample frame
  put_u16(bytes, 16);                                 // bits per sample
  put_tag(bytes, "data");
  put_u32(bytes, static_cast<u32>(data_bytes));
  for (i16 sample : samples) {
    put_u16(bytes, static_cast<u16>(sample));
  }

  return write_output_file(path, bytes, error);
}
