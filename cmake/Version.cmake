# Writes drusel_version.h from the project version, for the resource scripts.
# DRUSEL_VERSION_HEADER names the file, DRUSEL_GENERATED_DIR its folder;
# DRUSEL_VERSION_MAJOR, _MINOR, _PATCH and _TWEAK are the four numbers (0 where absent).
set(_numbers)
foreach(part MAJOR MINOR PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    set(DRUSEL_VERSION_${part} 0)
  else()
    set(DRUSEL_VERSION_${part} ${PROJECT_VERSION_${part}})
  endif()
  list(APPEND _numbers ${DRUSEL_VERSION_${part}})
endforeach()
list(JOIN _numbers ", " DRUSEL_VERSION_NUMBERS)
set(DRUSEL_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
set(DRUSEL_VERSION_HEADER ${DRUSEL_GENERATED_DIR}/drusel_version.h)
configure_file(${CMAKE_CURRENT_LIST_DIR}/drusel_version.h.in ${DRUSEL_VERSION_HEADER} @ONLY)
