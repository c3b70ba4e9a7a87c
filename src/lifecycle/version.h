// Corvel's version, as the About box and both programs' --version show it.
#pragma once

constexpr int version_major = 0;
constexpr int version_minor = 3;
constexpr int version_build = 10;
