# The demo stick, made at build time from our own material.
add_executable(shapeplay-demo-assets ${CMAKE_CURRENT_LIST_DIR}/demo_assets.cpp)
target_compile_options(shapeplay-demo-assets PRIVATE ${SHAPEPLAY_WARNINGS})
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/demo/demo.img
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/make_demo_stick.sh $<TARGET_FILE:shapeplay-demo-assets>
          $<TARGET_FILE:shapeplay-mkstick> ${CMAKE_BINARY_DIR}/demo/work
          ${CMAKE_BINARY_DIR}/demo/demo.img
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_demo_stick.sh shapeplay-demo-assets shapeplay-mkstick
  COMMENT "Making the demo stick"
  VERBATIM)
add_custom_target(demo-stick ALL DEPENDS ${CMAKE_BINARY_DIR}/demo/demo.img)
