#include "core/release/ed25519_key.hpp"

#include <openssl/bn.h>

#include <array>
#include <memory>

namespace orvo::core {
namespace {

struct BnFree {
  void operator()(BIGNUM* n) const { BN_free(n); }
};
struct BnCtxFree {
  void operator()(BN_CTX* c) const { BN_CTX_free(c); }
};
using Bn = std::unique_ptr<BIGNUM, BnFree>;

Result<void> arithmetic_failed() { return fail("big number arithmetic failed"); }

}  // namespace

Result<void> check_ed25519_point(std::span<const unsigned char, 32> encoding) {
  // The top bit only chooses the sign of x; the rest is y, little-endian.
  std::array<unsigned char, 32> y_bytes;
  std::copy(encoding.begin(), encoding.end(), y_bytes.begin());
  y_bytes[31] &= 0x7F;

  std::unique_ptr<BN_CTX, BnCtxFree> ctx(BN_CTX_new());
  Bn p(BN_new()), d(BN_new()), y(BN_lebin2bn(y_bytes.data(), y_bytes.size(), nullptr));
  Bn y2(BN_new()), u(BN_new()), v(BN_new()), w(BN_new()), power(BN_new()), scratch(BN_new());
  if (!ctx || !p || !d || !y || !y2 || !u || !v || !w || !power || !scratch) {
    return arithmetic_failed();
  }
  const BIGNUM* one = BN_value_one();

  // p = 2^255 - 19 and d = -121665 / 121666 mod p.
  bool ok = BN_set_bit(p.get(), 255) == 1 && BN_sub_word(p.get(), 19) == 1 &&
            BN_set_word(scratch.get(), 121666) == 1 &&
            BN_mod_inverse(d.get(), scratch.get(), p.get(), ctx.get()) != nullptr &&
            BN_mul_word(d.get(), 121665) == 1 &&
            BN_nnmod(d.get(), d.get(), p.get(), ctx.get()) == 1 &&
            BN_sub(d.get(), p.get(), d.get()) == 1;
  // An encoding of y at or above p, or of x = 0 with the sign bit set, still
  // names a point here: such non-canonical keys are refused by the signature
  // verification, as the strict verification of the reference cases does.
  ok = ok && BN_nnmod(y.get(), y.get(), p.get(), ctx.get()) == 1;
  // x^2 = (y^2 - 1) / (d y^2 + 1); d is no square, so the divisor is never zero.
  ok = ok && BN_mod_sqr(y2.get(), y.get(), p.get(), ctx.get()) == 1 &&
       BN_mod_sub(u.get(), y2.get(), one, p.get(), ctx.get()) == 1 &&
       BN_mod_mul(v.get(), d.get(), y2.get(), p.get(), ctx.get()) == 1 &&
       BN_mod_add(v.get(), v.get(), one, p.get(), ctx.get()) == 1 &&
       BN_mod_inverse(scratch.get(), v.get(), p.get(), ctx.get()) != nullptr &&
       BN_mod_mul(w.get(), u.get(), scratch.get(), p.get(), ctx.get()) == 1;
  if (!ok) return arithmetic_failed();

  if (BN_is_zero(w.get())) return {};
  // Euler's criterion: w is a square modulo p exactly when w^((p-1)/2) = 1.
  ok = BN_copy(power.get(), p.get()) != nullptr && BN_sub_word(power.get(), 1) == 1 &&
       BN_rshift1(power.get(), power.get()) == 1 &&
       BN_mod_exp(scratch.get(), w.get(), power.get(), p.get(), ctx.get()) == 1;
  if (!ok) return arithmetic_failed();
  if (!BN_is_one(scratch.get())) return fail("Ed25519 public key is not a point on the curve");
  return {};
}

}  // namespace orvo::core
