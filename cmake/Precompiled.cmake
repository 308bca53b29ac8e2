# Precompiled headers for the targets that include the toolkit most: a fresh
# build otherwise parses the same Qt headers in every one of their files.
# Test programs with the same flags share one header's build (REUSE_FROM);
# -Winvalid-pch says so when flags drift apart and a precompiled header is
# silently ignored.
option(KAPTIVUS_PCH "Precompile the toolkit's headers for the targets that include them most" ON)

function(kaptivus_precompile target header)
  if(KAPTIVUS_PCH)
    target_precompile_headers(${target} PRIVATE ${CMAKE_SOURCE_DIR}/cmake/pch/${header})
    target_compile_options(${target} PRIVATE -Winvalid-pch)
  endif()
endfunction()

function(kaptivus_reuse_precompiled target from)
  if(KAPTIVUS_PCH)
    target_precompile_headers(${target} REUSE_FROM ${from})
    target_compile_options(${target} PRIVATE -Winvalid-pch)
  endif()
endfunction()
