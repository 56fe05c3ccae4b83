# drusel_add_resources(TARGET RC_PATH [DEPENDS...]): compiles the resource script RC_PATH
# into an object linked into TARGET. The script can include drusel_version.h and the
# files of its own folder.
#
# llvm-rc writes the dialog template as written (GNU windres does not); windres only turns
# the .res into an object the linker takes. The input is named relative to its folder:
# llvm-rc reads an absolute path such as /check/... as its /C (code page) option.
find_program(DRUSEL_LLVM_RC NAMES llvm-rc-14 llvm-rc REQUIRED)
if(NOT DRUSEL_WINDRES)
  message(FATAL_ERROR "DRUSEL_WINDRES is not set: use one of the mingw toolchain files in cmake/")
endif()

function(drusel_add_resources target rc_path)
  get_filename_component(source_dir ${rc_path} DIRECTORY)
  get_filename_component(rc_file ${rc_path} NAME)
  set(res ${CMAKE_CURRENT_BINARY_DIR}/${target}.res)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/${target}_res.o)
  add_custom_command(
    OUTPUT ${res}
    COMMAND ${DRUSEL_LLVM_RC} -I/usr/share/mingw-w64/include -I${source_dir} -I${DRUSEL_GENERATED_DIR}
            /FO ${res} ${rc_file}
    WORKING_DIRECTORY ${source_dir}
    DEPENDS ${source_dir}/${rc_file} ${DRUSEL_VERSION_HEADER} ${ARGN}
    COMMENT "Compiling ${rc_file} with llvm-rc"
    VERBATIM)
  add_custom_command(
    OUTPUT ${object}
    COMMAND ${DRUSEL_WINDRES} ${res} -O coff -o ${object}
    DEPENDS ${res}
    VERBATIM)
  set_source_files_properties(${object} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  target_sources(${target} PRIVATE ${object})
endfunction()
