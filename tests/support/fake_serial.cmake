# The device link over the scripted fake serial layer, for unit tests of driver faults
# and fast in-process tests. Built for every platform.
set(_fake_platform_sources "")
foreach(src ${DEVICE_PLATFORM_FILE_SOURCES})
  if(IS_ABSOLUTE "${src}")
    list(APPEND _fake_platform_sources "${src}")
  else()
    list(APPEND _fake_platform_sources "${PROJECT_SOURCE_DIR}/device/${src}")
  endif()
endforeach()

add_library(device_link_fake STATIC
  $<TARGET_OBJECTS:device_core>
  ${CMAKE_CURRENT_LIST_DIR}/serial_fake.cpp
  ${_fake_platform_sources}
)
target_include_directories(device_link_fake PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR}/device)
if(WIN32)
  target_include_directories(device_link_fake PRIVATE ${PROJECT_SOURCE_DIR}/ui)
endif()
