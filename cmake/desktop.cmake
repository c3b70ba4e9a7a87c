# The desktop shell: the only target that talks to FLTK, OpenGL and SDL2.
#
# FLTK is found through fltk-config rather than find_package(FLTK): Debian's
# FLTK CMake package refers to the fluid program, which a build machine need
# not have.
file(GLOB corvel_shell_sources CONFIGURE_DEPENDS src/host/*.cpp src/platform/*.cpp)
if(corvel_shell_sources)
  find_program(FLTK_CONFIG fltk-config REQUIRED)
  execute_process(COMMAND ${FLTK_CONFIG} --use-gl --cxxflags
    OUTPUT_VARIABLE corvel_fltk_cxxflags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${FLTK_CONFIG} --use-gl --ldflags
    OUTPUT_VARIABLE corvel_fltk_ldflags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(corvel_fltk_cxxflags UNIX_COMMAND "${corvel_fltk_cxxflags}")
  separate_arguments(corvel_fltk_ldflags UNIX_COMMAND "${corvel_fltk_ldflags}")
  find_package(OpenGL REQUIRED)
  find_package(SDL2 REQUIRED)
  add_executable(corvel ${corvel_shell_sources})
  # FLTK's and SDL's headers are not ours: no warnings from them.
  target_compile_options(corvel PRIVATE ${corvel_fltk_cxxflags})
  target_include_directories(corvel SYSTEM PRIVATE ${SDL2_INCLUDE_DIRS})
  target_link_libraries(corvel PRIVATE corvel_core ${corvel_fltk_ldflags} OpenGL::GL ${SDL2_LIBRARIES})
endif()
