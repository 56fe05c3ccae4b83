# The one list of the device link's sources and the platform files beneath it. The
# product (device/CMakeLists.txt), fuzz/ and the tests all take their files from here, so
# a new source file is named once.
#
# Needs DRUSEL_ROOT: the repository's top folder.
set(DRUSEL_DEVICE_CORE_SOURCES
  ${DRUSEL_ROOT}/device/result_code.cpp
  ${DRUSEL_ROOT}/device/device_types.cpp
  ${DRUSEL_ROOT}/device/checksum.cpp
  ${DRUSEL_ROOT}/device/log.cpp
  ${DRUSEL_ROOT}/device/device_link.cpp
  ${DRUSEL_ROOT}/device/speed_control.cpp
  ${DRUSEL_ROOT}/device/after_upload.cpp
  ${DRUSEL_ROOT}/device/probe_port.cpp
  ${DRUSEL_ROOT}/device/commands.cpp
  ${DRUSEL_ROOT}/device/discovery.cpp
  ${DRUSEL_ROOT}/device/describe_device.cpp
  ${DRUSEL_ROOT}/device/image_check.cpp
  ${DRUSEL_ROOT}/device/answer_tables.cpp
  ${DRUSEL_ROOT}/device/upload.cpp
)

# One file per operating system for each seam. The image-file reader is listed apart:
# the scripted fake serial layer replaces only the serial files.
set(DRUSEL_PLATFORM_POSIX_SERIAL_SOURCES ${DRUSEL_ROOT}/platform/serial_posix.cpp)
set(DRUSEL_PLATFORM_POSIX_IMAGE_FILE_SOURCES ${DRUSEL_ROOT}/platform/image_file_posix.cpp)
set(DRUSEL_PLATFORM_WIN32_SERIAL_SOURCES ${DRUSEL_ROOT}/platform/serial_win32.cpp)
set(DRUSEL_PLATFORM_WIN32_IMAGE_FILE_SOURCES ${DRUSEL_ROOT}/platform/image_file_win32.cpp)
if(WIN32)
  set(DRUSEL_PLATFORM_SERIAL_SOURCES ${DRUSEL_PLATFORM_WIN32_SERIAL_SOURCES})
  set(DRUSEL_PLATFORM_IMAGE_FILE_SOURCES ${DRUSEL_PLATFORM_WIN32_IMAGE_FILE_SOURCES})
else()
  set(DRUSEL_PLATFORM_SERIAL_SOURCES ${DRUSEL_PLATFORM_POSIX_SERIAL_SOURCES})
  set(DRUSEL_PLATFORM_IMAGE_FILE_SOURCES ${DRUSEL_PLATFORM_POSIX_IMAGE_FILE_SOURCES})
endif()

# The words both programs show.
set(DRUSEL_REPORT_SOURCES
  ${DRUSEL_ROOT}/report/result_table.cpp
  ${DRUSEL_ROOT}/report/version_text.cpp
  ${DRUSEL_ROOT}/report/device_text.cpp
  ${DRUSEL_ROOT}/report/unit_answer_text.cpp
  ${DRUSEL_ROOT}/report/flash_failure_text.cpp
  ${DRUSEL_ROOT}/report/speed_return_text.cpp
)

set(DRUSEL_DEVICE_INCLUDE_DIRS ${DRUSEL_ROOT}/device ${DRUSEL_ROOT}/platform)
