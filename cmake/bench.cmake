# Benchmarks of the core, built only on request (`make bench`).
add_executable(card_bench EXCLUDE_FROM_ALL bench/card_bench.cpp)
target_link_libraries(card_bench PRIVATE fenmora_core)
