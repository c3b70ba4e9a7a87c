# Our own 6502 programs, assembled at build time with ca65 and ld65.
#
# Every folder cartridges/NAME (except common) becomes build/cartridges/NAME.nes:
# each .s file in it is assembled, and the result is linked with NAME/link.cfg
# when the folder has one, else with common/cartridge.cfg, which takes the
# image's sizes from the program's iNES header.
find_program(CA65 ca65 REQUIRED)
find_program(LD65 ld65 REQUIRED)

set(CORVEL_CARTRIDGE_DIR ${CMAKE_BINARY_DIR}/cartridges)
set(corvel_cartridge_common ${CMAKE_SOURCE_DIR}/cartridges/common)
file(GLOB corvel_common_includes CONFIGURE_DEPENDS ${corvel_cartridge_common}/*.inc)

function(corvel_add_cartridge name dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.s)
  file(GLOB includes CONFIGURE_DEPENDS ${dir}/*.inc ${dir}/*.chr ${dir}/*.bin)
  if(EXISTS ${dir}/link.cfg)
    set(config ${dir}/link.cfg)
  else()
    set(config ${corvel_cartridge_common}/cartridge.cfg)
  endif()
  set(objects "")
  foreach(source ${sources})
    get_filename_component(stem ${source} NAME_WE)
    set(object ${CORVEL_CARTRIDGE_DIR}/${name}/${stem}.o)
    add_custom_command(
      OUTPUT ${object}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CORVEL_CARTRIDGE_DIR}/${name}
      COMMAND ${CA65} -I ${corvel_cartridge_common} -I ${dir} --bin-include-dir ${dir} -g -o ${object} ${source}
      DEPENDS ${source} ${includes} ${corvel_common_includes}
      COMMENT "Assembling ${name}/${stem}.s")
    list(APPEND objects ${object})
  endforeach()
  set(image ${CORVEL_CARTRIDGE_DIR}/${name}.nes)
  add_custom_command(
    OUTPUT ${image}
    COMMAND ${LD65} -C ${config} -o ${image} ${objects}
    DEPENDS ${objects} ${config}
    COMMENT "Linking cartridge ${name}.nes")
  add_custom_target(cartridge_${name} ALL DEPENDS ${image})
endfunction()

file(GLOB corvel_cartridge_dirs LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/cartridges/*)
foreach(dir ${corvel_cartridge_dirs})
  get_filename_component(name ${dir} NAME)
  if(IS_DIRECTORY ${dir} AND NOT name STREQUAL "common")
    corvel_add_cartridge(${name} ${dir})
  endif()
endforeach()
