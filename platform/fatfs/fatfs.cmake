# The FAT file system of the simulated board and the driver linking layer.
target_sources(platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ff.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ffunicode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ffsystem.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ff_gen_drv.cpp
)
