# Installs the build into PREFIX and checks what a desktop user gets.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
  RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

set(expected
  bin/corvel-headless
  share/corvel/demo.nes
  share/applications/corvel.desktop
  share/icons/hicolor/32x32/apps/corvel.png
  share/icons/hicolor/64x64/apps/corvel.png)
if(DESKTOP)
  list(APPEND expected bin/corvel)
endif()
foreach(file ${expected})
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

# The installed cartridge is the one the build assembled.
file(SHA256 ${PREFIX}/share/corvel/demo.nes installed)
file(SHA256 ${BUILD}/cartridges/demo.nes built)
if(NOT installed STREQUAL built)
  message(FATAL_ERROR "the installed demo.nes differs from the built one")
endif()

# The desktop entry opens .nes images with the program and names its icon.
file(STRINGS ${PREFIX}/share/applications/corvel.desktop entry)
foreach(line "[Desktop Entry]" "Type=Application" "Exec=corvel %f" "Icon=corvel"
             "MimeType=application/x-nes-rom;")
  list(FIND entry "${line}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "corvel.desktop lacks the line: ${line}")
  endif()
endforeach()

# The icons are PNG pictures of the size their folder names.
foreach(size_hex 32:20 64:40)
  string(REPLACE ":" ";" size_hex ${size_hex})
  list(GET size_hex 0 size)
  list(GET size_hex 1 hex)
  file(READ ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/corvel.png head LIMIT 24 HEX)
  if(NOT head MATCHES "^89504e470d0a1a0a.*000000${hex}000000${hex}$")
    message(FATAL_ERROR "icon ${size}: ${head}")
  endif()
endforeach()
