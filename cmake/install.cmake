# What `cmake --install` puts under the prefix: the two programs, the demo
# cartridge as <prefix>/share/corvel/demo.nes (where find_demo_cartridge looks
# for it), a desktop entry that opens .nes images and the program's icon.
include(GNUInstallDirs)

if(TARGET corvel)
  install(TARGETS corvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS corvel-headless RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${CORVEL_CARTRIDGE_DIR}/demo.nes DESTINATION ${CMAKE_INSTALL_DATADIR}/corvel)
install(FILES ${CMAKE_SOURCE_DIR}/data/corvel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 32 64)
  install(FILES ${CMAKE_SOURCE_DIR}/data/corvel-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME corvel.png)
endforeach()

# Lets tests/demo register the test of the installed tree.
set(CORVEL_INSTALL_RULES ON)
