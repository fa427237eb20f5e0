# Broken and oversized source images for vorlin-render, one test per format, and hostile
# scene files. The images are made at test time into the build folder by corrupt_images.py;
# nothing big is kept in git. Included from CMakeLists.txt beside it (the renderer is in
# tools/).
if(TARGET vorlin-render)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  foreach(format png bmp gif jpeg)
    add_test(NAME corrupt_images.${format}
             COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/corrupt_images.py
                     --renderer $<TARGET_FILE:vorlin-render>
                     --work ${CMAKE_BINARY_DIR}/corrupt-images/${format}
                     --formats ${format})
    set_tests_properties(corrupt_images.${format} PROPERTIES TIMEOUT 900 LABELS hostile)
  endforeach()
  add_test(NAME hostile_scenes
           COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/hostile_scenes.py
                   --renderer $<TARGET_FILE:vorlin-render>
                   --work ${CMAKE_BINARY_DIR}/hostile-scenes)
  set_tests_properties(hostile_scenes PROPERTIES TIMEOUT 900 LABELS hostile)
endif()
