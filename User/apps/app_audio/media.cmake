# Media library: the stick's root folders with their pictures, playback folders, audio files.
target_sources(firmware PRIVATE
  ${PROJECT_SOURCE_DIR}/User/apps/app_audio/fileNames.cpp
  ${PROJECT_SOURCE_DIR}/User/apps/app_audio/FolderRoot.cpp
  ${PROJECT_SOURCE_DIR}/User/apps/app_audio/FolderDirectories.cpp
  ${PROJECT_SOURCE_DIR}/User/apps/app_audio/FolderAudioFiles.cpp
)
