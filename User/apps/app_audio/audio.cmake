# The audio pipeline: the track player, the MP3 decoder driver and the PCM output on the
# firmware side; SAI2 with its DMA, the data cache, the audio board support and the codec's
# playback path with the audio sinks on the board side; libmad for the decoding.
include(${CMAKE_CURRENT_LIST_DIR}/libmad.cmake)

target_sources(firmware PRIVATE
  ${PROJECT_SOURCE_DIR}/User/apps/app_audio/mp3/mp3_input.cpp
)
target_include_directories(firmware PRIVATE ${MAD_INCLUDE_DIR})
target_sources(platform PRIVATE
  ${PROJECT_SOURCE_DIR}/platform/hal/cache.cpp
  ${PROJECT_SOURCE_DIR}/platform/hal/sai.cpp
  ${PROJECT_SOURCE_DIR}/platform/board/audio_out.cpp
  ${PROJECT_SOURCE_DIR}/platform/board/audio_path.cpp
)
# The firmware's objects are linked into every program that links the platform: libmad comes
# with it, after the firmware's objects that call it.
target_link_libraries(platform INTERFACE mad_hooked)
