# Host tools: the stick-image builder.
add_library(mkstick_core STATIC
  tools/mkstick/names.cpp
  tools/mkstick/tree.cpp
  tools/mkstick/manifest.cpp
  tools/mkstick/source.cpp
  tools/mkstick/image.cpp
)
target_include_directories(mkstick_core PUBLIC tools/mkstick)
target_compile_options(mkstick_core PRIVATE ${SHAPEPLAY_WARNINGS})

add_executable(shapeplay-mkstick tools/mkstick/main.cpp)
target_link_libraries(shapeplay-mkstick PRIVATE mkstick_core)
target_compile_options(shapeplay-mkstick PRIVATE ${SHAPEPLAY_WARNINGS})
