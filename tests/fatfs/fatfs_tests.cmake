# The file system against images made by mkfs.fat, mtools and mkfs.exfat, in process; the
# volume-lock case runs a board with its kernel in a child process.
add_executable(fatfs_tests
  fatfs/test_fatfs.cpp
  fatfs/test_fatfs_media.cpp
  fatfs/fat_test_util.cpp
)
target_link_libraries(fatfs_tests PRIVATE boardtest GTest::gtest_main)
target_include_directories(fatfs_tests PRIVATE fatfs)
target_compile_options(fatfs_tests PRIVATE ${SHAPEPLAY_WARNINGS})
add_test(NAME fatfs_tests COMMAND fatfs_tests)

# Directory scans and file reads: the file system's own cost against memcpy, and its transfers.
add_executable(bench_fatfs bench/bench_fatfs.cpp fatfs/fat_test_util.cpp)
target_link_libraries(bench_fatfs PRIVATE platform GTest::gtest)
target_include_directories(bench_fatfs PRIVATE fatfs)
target_compile_options(bench_fatfs PRIVATE ${SHAPEPLAY_WARNINGS})
