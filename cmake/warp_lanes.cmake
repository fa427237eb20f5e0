# The instruction sets of the quad warp's vector loops, one file per set: the only place
# they are given, for every target that compiles warp/ (the core of the program, the tests
# and the bench, and the fuzz targets' copy). Each file is built for its set as a whole; its
# loop is only called where the processor has the instructions (warp/quad_dispatch.cpp).
# AVX2 alone: no FMA, whose single rounding would change the bits. The SSE2 loop's
# instructions are the x86-64 baseline: its file needs no option.
set(VORLIN_LANE_OPTIONS_AVX2 -mavx2)
set(VORLIN_LANE_OPTIONS_AVX512 -mavx2 -mavx512f -mavx512vl)

# Gives the lane files their instruction sets in the directory where `target` is defined.
function(vorlin_warp_lanes target)
  set_source_files_properties(${CMAKE_SOURCE_DIR}/warp/quad_warp_avx2.cpp
                              TARGET_DIRECTORY ${target}
                              PROPERTIES COMPILE_OPTIONS "${VORLIN_LANE_OPTIONS_AVX2}")
  set_source_files_properties(${CMAKE_SOURCE_DIR}/warp/quad_warp_avx512.cpp
                              TARGET_DIRECTORY ${target}
                              PROPERTIES COMPILE_OPTIONS "${VORLIN_LANE_OPTIONS_AVX512}")
endfunction()
