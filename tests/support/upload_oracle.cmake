# The upload oracle: pure expectations of the upload's answer table, shared by the tests.
add_library(upload_oracle STATIC ${CMAKE_CURRENT_LIST_DIR}/upload_oracle.cpp)
target_include_directories(upload_oracle PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${DRUSEL_DEVICE_INCLUDE_DIRS})
