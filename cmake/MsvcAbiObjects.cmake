# simtrove_msvc_abi_objects(<out-var> <source>... [DEFINITIONS def...])
# Compiles each source in the Microsoft C++ ABI of the target (clang,
# i686-pc-windows-msvc or x86_64-pc-windows-msvc) with cmake/msvc_abi_object.sh
# and returns the object files, ready to be listed among a MinGW target's
# sources. Used for the translation units that meet the host's compiler: the
# plug-in's classes and the stand-in's calls on them.
find_program(SIMTROVE_MSVC_ABI_CLANG NAMES clang-14 clang REQUIRED)
find_program(SIMTROVE_MINGW_OBJCOPY NAMES ${SIMTROVE_MINGW_PROCESSOR}-w64-mingw32-objcopy REQUIRED)

function(simtrove_msvc_abi_objects out_var)
  cmake_parse_arguments(ARG "" "" "DEFINITIONS" ${ARGN})
  set(flags -I${PROJECT_SOURCE_DIR})
  foreach(definition IN LISTS ARG_DEFINITIONS)
    list(APPEND flags -D${definition})
  endforeach()
  if(SIMTROVE_WERROR)
    list(APPEND flags -Werror)
  endif()
  set(objects)
  foreach(source IN LISTS ARG_UNPARSED_ARGUMENTS)
    get_filename_component(name ${source} NAME_WE)
    get_filename_component(path ${source} ABSOLUTE)
    set(object ${CMAKE_CURRENT_BINARY_DIR}/msvc_abi/${name}.obj)
    add_custom_command(
      OUTPUT ${object}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/msvc_abi
      COMMAND ${PROJECT_SOURCE_DIR}/cmake/msvc_abi_object.sh ${SIMTROVE_MSVC_ABI_CLANG}
              ${SIMTROVE_MINGW_OBJCOPY} ${SIMTROVE_MINGW_PROCESSOR}-pc-windows-msvc ${path}
              ${object} ${flags}
      DEPENDS ${path} ${PROJECT_SOURCE_DIR}/cmake/msvc_abi_object.sh
      IMPLICIT_DEPENDS CXX ${path}
      COMMENT "Compiling ${name} in the host's C++ ABI"
      VERBATIM)
    set_source_files_properties(${object} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
    list(APPEND objects ${object})
  endforeach()
  set(${out_var} ${objects} PARENT_SCOPE)
endfunction()
