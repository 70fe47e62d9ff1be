# USB host stack, its mass-storage class, the host port and the stick.
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/usbh_core.cpp
  ${CMAKE_CURRENT_LIST_DIR}/usbh_msc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stick.cpp)
target_include_directories(platform PUBLIC ${CMAKE_CURRENT_LIST_DIR})
