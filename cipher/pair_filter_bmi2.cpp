// The pair filter with pext, for processors with BMI2. Built with -mbmi2
// where the compiler targets x86-64; only called when the processor has it.

#include "cipher/pair_filter.h"
#include "cipher/pair_filter_kernel.h"

#if defined(__BMI2__) && defined(__POPCNT__)
#include <immintrin.h>
#endif

namespace cipher {

#if defined(__BMI2__) && defined(__POPCNT__)

namespace {
struct PextExtract {
  std::uint64_t operator()(std::uint64_t word, std::uint64_t mask,
                           unsigned& count) const {
    count = static_cast<unsigned>(__builtin_popcountll(mask));
    return _pext_u64(word, mask);
  }
};
}  // namespace

bool Bmi2Available() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
}

std::size_t FillGroupsBmi2(PairFilterState& state, std::uint8_t* groups,
                           std::size_t count) {
  return FillGroupsWith<PextExtract>(state, groups, count);
}

std::size_t FilterWordsBmi2(PairFilterState& state, std::uint64_t words,
                            std::uint8_t* groups) {
  return FilterWordsWith<PextExtract>(state, words, groups);
}

#else

bool Bmi2Available() { return false; }

std::size_t FillGroupsBmi2(PairFilterState& /*state*/, std::uint8_t* /*groups*/,
                           std::size_t /*count*/) {
  return 0;
}

std::size_t FilterWordsBmi2(PairFilterState& /*state*/, std::uint64_t /*words*/,
                            std::uint8_t* /*groups*/) {
  return 0;
}

#endif

}  // namespace cipher
