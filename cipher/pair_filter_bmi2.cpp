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

#if defined(__x86_64__) && defined(__GNUC__)

// Constants the loop reads from memory, which leaves every register to it.
constexpr std::uint64_t kHighMultiplier = 0x4000'0000'1000'0000U;
constexpr std::uint64_t kFirstBitsOfPairs = 0xAAAA'AAAA'AAAA'AAAAU;

// FilterPairsWith<PextExtract> scheduled by hand: GCC spills and moves
// enough around this loop to cost a quarter of its time.
//
// The pext is taken from the low word B' before the raw word, whose odd
// bits are the raw word's first bits of pairs: raw bit 2k is B' bit 2k + 1
// (bit 63 included), and raw bit 2k + 1 is bit 2k + 1 of shrd(B', B, 1),
// B the low word after it. So the odd bits of B' ^ shrd(B', B, 1) mark the
// unequal pairs, and no raw word needs to be formed.
//
// Per word: rdx = B; x3:x2 = B * (2^62 + 2^28) (mulx); the mask; pext and
// popcnt; then P <- (P >> 64) + (B << 34) + x3:x2 << 128 by one add chain.
// Word 0 leaves P's upper words in rdx (moved to p1), x2 and x3; word 1 puts
// them back into p1, p2 and p3. Thirteen registers and the loop count in
// memory, so that it also builds where the frame pointer is kept.
void FilterPairsBmi2(LoopRegisters& r, std::uint64_t pairs) {
  if (pairs == 0) {
    return;
  }
  std::uint64_t p0 = r.p0;
  std::uint64_t p1 = r.p1;
  std::uint64_t p2 = r.p2;
  std::uint64_t p3 = r.p3;
  std::uint64_t previous = r.previous;
  std::uint64_t bits = r.bits;
  std::uint64_t count = r.count;
  std::uint8_t* next = r.next;
  // Scratch registers, written before they are read.
  std::uint64_t accepted;
  std::uint64_t n;
  std::uint64_t b;
  std::uint64_t x2;
  std::uint64_t x3;
  asm volatile(
      "1:\n\t"
      // Word 0: the mask in n, then its popcnt.
      "mov %[p0], %[b]\n\t"
      "mulx %[K], %[x2], %[x3]\n\t"
      "mov %[previous], %[n]\n\t"
      "shrd $1, %[b], %[n]\n\t"
      "xor %[previous], %[n]\n\t"
      "and %[A], %[n]\n\t"
      "pext %[n], %[previous], %[accepted]\n\t"
      "popcnt %[n], %[n]\n\t"
      "mov %[b], %[previous]\n\t"
      "shl $34, %[p0]\n\t"
      "shr $30, %[b]\n\t"
      "add %[p1], %[p0]\n\t"
      "adc %[p2], %[b]\n\t"
      "adc %[p3], %[x2]\n\t"
      "adc $0, %[x3]\n\t"
      "mov %[b], %[p1]\n\t"
      // Word 1: the mask in p2, its bits joined above word 0's.
      "mov %[p0], %[b]\n\t"
      "mov %[previous], %[p2]\n\t"
      "shrd $1, %[b], %[p2]\n\t"
      "xor %[previous], %[p2]\n\t"
      "and %[A], %[p2]\n\t"
      "pext %[p2], %[previous], %[previous]\n\t"
      "shlx %[n], %[previous], %[previous]\n\t"
      "or %[previous], %[accepted]\n\t"
      "popcnt %[p2], %[p2]\n\t"
      "add %[p2], %[n]\n\t"
      "mov %[b], %[previous]\n\t"
      "mulx %[K], %[p2], %[p3]\n\t"
      "shl $34, %[p0]\n\t"
      "shr $30, %[b]\n\t"
      "add %[p1], %[p0]\n\t"
      "adc %[x2], %[b]\n\t"
      "adc %[x3], %[p2]\n\t"
      "adc $0, %[p3]\n\t"
      "mov %[b], %[p1]\n\t"
      // Write-out, as Append; above 56 bits the low 32 go first (3:).
      "cmp $56, %[n]\n\t"
      "ja 3f\n\t"
      "2:\n\t"
      "shlx %[count], %[accepted], %[accepted]\n\t"
      "or %[bits], %[accepted]\n\t"
      "mov %[accepted], (%[next])\n\t"
      "add %[n], %[count]\n\t"
      "mov %[count], %[x2]\n\t"
      "shr $3, %[x2]\n\t"
      "add %[x2], %[next]\n\t"
      "mov %[count], %[x2]\n\t"
      "and $-8, %[x2]\n\t"
      "shrx %[x2], %[accepted], %[bits]\n\t"
      "and $7, %[count]\n\t"
      "subq $1, %[pairs]\n\t"
      "jnz 1b\n\t"
      "jmp 4f\n\t"
      "3:\n\t"
      "mov %k[accepted], %k[x3]\n\t"
      "shlx %[count], %[x3], %[x3]\n\t"
      "or %[bits], %[x3]\n\t"
      "mov %[x3], (%[next])\n\t"
      "add $32, %[count]\n\t"
      "mov %[count], %[x2]\n\t"
      "shr $3, %[x2]\n\t"
      "add %[x2], %[next]\n\t"
      "mov %[count], %[x2]\n\t"
      "and $-8, %[x2]\n\t"
      "shrx %[x2], %[x3], %[bits]\n\t"
      "and $7, %[count]\n\t"
      "shr $32, %[accepted]\n\t"
      "sub $32, %[n]\n\t"
      "jmp 2b\n\t"
      "4:\n\t"
      : [p0] "+&r"(p0), [p1] "+&r"(p1), [p2] "+&r"(p2), [p3] "+&r"(p3),
        [previous] "+&r"(previous), [bits] "+&r"(bits), [count] "+&r"(count),
        [next] "+&r"(next), [pairs] "+m"(pairs), [accepted] "=&r"(accepted),
        [n] "=&r"(n), [b] "=&d"(b), [x2] "=&r"(x2), [x3] "=&r"(x3)
      : [K] "m"(kHighMultiplier), [A] "m"(kFirstBitsOfPairs)
      : "cc", "memory");
  r = {p0, p1, p2, p3, previous, bits, count, next};
}

#endif

struct PextExtract {
  std::uint64_t operator()(std::uint64_t word, std::uint64_t mask,
                           unsigned& count) const {
    count = static_cast<unsigned>(__builtin_popcountll(mask));
    return _pext_u64(word, mask);
  }
  static void FilterPairs(LoopRegisters& r, std::uint64_t pairs) {
#if defined(__x86_64__) && defined(__GNUC__)
    FilterPairsBmi2(r, pairs);
#else
    FilterPairsWith<PextExtract>(r, pairs);
#endif
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
