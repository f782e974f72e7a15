# Reproducible numerics: no contraction into fused multiply-add, no fast-math.
add_compile_options(-Wall -Wextra -ffp-contract=off -fno-fast-math)
# Assertions are ours (TD_ASSERT) and never depend on NDEBUG; keep the standard
# assert alive too, so no build type silences a check.
string(REPLACE "-DNDEBUG" "" CMAKE_CXX_FLAGS_RELEASE "${CMAKE_CXX_FLAGS_RELEASE}")
string(REPLACE "-DNDEBUG" "" CMAKE_CXX_FLAGS_RELWITHDEBINFO "${CMAKE_CXX_FLAGS_RELWITHDEBINFO}")
string(REPLACE "-DNDEBUG" "" CMAKE_CXX_FLAGS_MINSIZEREL "${CMAKE_CXX_FLAGS_MINSIZEREL}")

if(EQNKIT_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  # A read past a vector's size but within its capacity (cells a vector kept when it shrank)
  # is reported too, not only one past its allocation.
  add_compile_definitions(_GLIBCXX_SANITIZE_VECTOR)
  add_link_options(-fsanitize=address,undefined)
endif()
