# The device link over the scripted fake serial layer, for unit tests of driver faults
# and fast in-process tests. Built for every platform; the image-file reader stays the
# platform's own.
add_library(device_link_fake STATIC
  $<TARGET_OBJECTS:device_core>
  ${CMAKE_CURRENT_LIST_DIR}/serial_fake.cpp
  ${DRUSEL_PLATFORM_IMAGE_FILE_SOURCES}
)
target_include_directories(device_link_fake PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${DRUSEL_DEVICE_INCLUDE_DIRS})
