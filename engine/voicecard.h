#pragma once

#include <cstring>

#include "adsr.h"
#include "hotloop.h"
#include "lanes.h"
#include "span.h"
#include "vcf.h"

// One channel of the Synth section: the ladder filter followed by an amplifier
// driven by the card's own envelope.
class VoiceCard {
public:
  void setSampleRate(double fs);
  void gateOn();
  void gateOff();
  void setParam(int index, double value);  // parameter codes 25 ... 31, others ignored

  // Once per sample before process(): advance the envelope of an active card.
  void update() {
    if (!active) return;
    env.update();
    active = env.isOn();
  }

  double process(double in, double mod) {
    if (!active) return 0.0;
    const double e = env.getLevel();
    return vcf.process(in, envAmount * e + cutoff + mod) * e;
  }

  // process() of an active card at envelope level e, in two halves for running the cards side by side:
  // begin() returns the card's output, end() completes its filter's sample.
  double begin(double in, double mod, double e, VCF::Pending& p) {
    return vcf.estimate(in, envAmount * e + cutoff + mod, p) * e;
  }
  void end(const VCF::Pending& p) { vcf.advance(p); }

  bool isActive() const { return active; }
  const ADSR& envelope() const { return env; }
  const VCF& filter() const { return vcf; }

private:
  template <class>
  friend class CardLanes;

  VCF vcf;
  ADSR env;
  bool active = false;
  double cutoff = 0.0;
  double envAmount = 0.0;
};

// The six cards over a span, sample by sample. The cards active at its start run side by side in the
// lanes of vectors V (a card can only fall silent within a span): each advances its envelope every
// sample as update() does and, while still active, filters its input as process() does. Takes the
// cards' state; finish() hands it back.
template <class V>
class CardLanes {
public:
  VANTOREL_INLINE explicit CardLanes(VoiceCard (&all)[6]) : cards(all) {
    int count = 0;
    for (int l = 0; l < kLanes; ++l) card[l] = -1;
    for (int c = 0; c < 6; ++c) {
      slot[c] = -1;
      if (cards[c].isActive()) {
        slot[c] = count;
        card[count++] = c;
      }
    }
    this->count = count;
    used = (count + kWidth - 1) / kWidth;
    // Lanes without a card hold zeros; the vectors past those in use are never read.
    for (int w = 0; w < used; ++w) {
      G[w] = B[w] = K[w] = C[w] = G4[w] = norm[w] = index[w] = r[w] = d[w] = V{};
      s1[w] = s2[w] = s3[w] = s4[w] = cutoff[w] = amount[w] = recomputed[w] = V{};
      level[w] = target[w] = coefficient[w] = state[w] = V{};
      lastCv[w] = splat(__builtin_nan(""));  // equal to no control value
      for (int i = 0; i < kWidth; ++i) {
        const int c = card[kWidth * w + i];
        if (c < 0) continue;
        const VCF& f = cards[c].vcf;
        G[w][i] = f.G, B[w][i] = f.B, K[w][i] = f.K, C[w][i] = f.C, G4[w][i] = f.G4, norm[w][i] = f.norm;
        index[w][i] = f.index, r[w][i] = f.r, d[w][i] = f.d;
        s1[w][i] = f.s1, s2[w][i] = f.s2, s3[w][i] = f.s3, s4[w][i] = f.s4;
        cutoff[w][i] = cards[c].cutoff;
        amount[w][i] = cards[c].envAmount;
        const ADSR& a = cards[c].env;
        level[w][i] = a.level, target[w][i] = a.target, coefficient[w][i] = a.coefficient, state[w][i] = a.state;
      }
    }
  }

  static constexpr int kWidth = sizeof(V) / sizeof(double);
  static constexpr int kVectors = (6 + kWidth - 1) / kWidth;
  static constexpr int kLanes = kWidth * kVectors;

  // The lane of card c, -1 if it does not take part.
  int lane(int c) const { return slot[c]; }

  // One sample: in[l] is the input of the card in lane l, mod the cutoff offset of all cards. Returns the
  // cards' outputs (0 where silent) added in card order to 0. (A silent card adds +0, which changes no
  // sum of this kind: one that starts at +0 is never -0.)
  VANTOREL_INLINE double sample(const double* in, double mod) {
    V out[kVectors] = {};
    if (used > 0) out[0] = run<0>(in, mod);
    if (used > 1) out[1] = run<1>(in, mod);
    if constexpr (kVectors > 2)
      if (used > 2) out[2] = run<2>(in, mod);
    // Lane by lane from the registers.
    double sum = 0.0;
#pragma GCC unroll 8
    for (int l = 0; l < kLanes; ++l)
      if (l < count) sum += out[l / kWidth][l % kWidth];
    return sum;
  }

  VANTOREL_INLINE void finish(bool sampled) {
    for (int l = 0; l < kLanes; ++l) {
      if (card[l] < 0) continue;
      VoiceCard& vc = cards[card[l]];
      VCF& f = vc.vcf;
      const int w = l / kWidth, k = l % kWidth;
      f.G = G[w][k], f.B = B[w][k], f.K = K[w][k], f.C = C[w][k], f.G4 = G4[w][k], f.norm = norm[w][k];
      f.index = index[w][k], f.d = d[w][k];
      f.s1 = s1[w][k], f.s2 = s2[w][k], f.s3 = s3[w][k], f.s4 = s4[w][k];
      f.recomputeCount += static_cast<unsigned long>(recomputed[w][k]);
      ADSR& a = vc.env;
      a.level = level[w][k], a.target = target[w][k], a.coefficient = coefficient[w][k];
      a.state = static_cast<int>(state[w][k]);
      if (sampled) vc.active = a.isOn();
    }
  }

private:
  static constexpr int kAll = (1 << kWidth) - 1;
  using Mask = decltype(V{} < 0.0);
  typedef int Int __attribute__((vector_size(kWidth * sizeof(int))));

  VANTOREL_INLINE static V splat(double x) {
    V v;
#pragma GCC unroll 4
    for (int k = 0; k < kWidth; ++k) v[k] = x;
    return v;
  }

  // VCF::roundHalfAway lane by lane for |x| < 2^31; false if a lane is outside that range (or NaN).
  VANTOREL_INLINE static bool roundLanes(V x, V& q) {
    const Mask sign = reinterpret_cast<Mask>(splat(-0.0));
    const V ax = reinterpret_cast<V>(reinterpret_cast<Mask>(x) & ~sign);
    if (laneMask(ax < 2147483648.0) != kAll) return false;
    const V t = __builtin_convertvector(__builtin_convertvector(x, Int), V);  // toward zero
    const V f = x - t;
    V r = f >= 0.5 ? t + 1.0 : t;
    r = f <= -0.5 ? t - 1.0 : r;
    q = reinterpret_cast<V>((reinterpret_cast<Mask>(r) & ~sign) | (reinterpret_cast<Mask>(x) & sign));
    return true;
  }

  // The feedback saturator clamp() lane by lane.
  VANTOREL_INLINE static V clampLanes(V x) {
    const V y = 0.2 * x;
    const V s = 5.0 * y * (y * y + 27.0) / (9.0 * (y * y) + 27.0);
    return y < -3.0 ? splat(-5.0) : (y > 3.0 ? splat(5.0) : s);
  }

  // Vector w at sample j: envelope step (ADSR::update), then the filter (VCF::process) of the lanes
  // still active; returns their outputs, 0 in silent lanes.
  template <int w>
  VANTOREL_INLINE V run(const double* in, double mod) {
    if (!steady[w]) {
      const Mask stepping = state[w] != 0.0;
      if (!laneMask(stepping)) return V{};
      const V before = level[w];
      level[w] = stepping ? level[w] + (target[w] - level[w]) * coefficient[w] : level[w];
      const Mask attackEnds = (state[w] == 1.0) & (level[w] >= 1.0);
      const Mask stageEnds = (state[w] >= 2.0) & (level[w] <= 0.0);
      const int ends = laneMask(stepping & (attackEnds | stageEnds));
      if (ends) [[unlikely]] {
#pragma GCC unroll 4
        for (int k = 0; k < kWidth; ++k) {
          if (!(ends & (1 << k))) continue;
          if (state[w][k] == 1.0) {
            ADSR& a = cards[card[kWidth * w + k]].env;
            a.level = level[w][k];
            a.endAttack();
            level[w][k] = a.level, target[w][k] = a.target, coefficient[w][k] = a.coefficient, state[w][k] = a.state;
          } else {
            level[w][k] = 0.0;
            state[w][k] = 0.0;
          }
        }
      }
      // An update that leaves every envelope as it was leaves them so for the rest of the span.
      steady[w] = !ends && laneMask(reinterpret_cast<Mask>(level[w]) == reinterpret_cast<Mask>(before)) == kAll;
    }
    const Mask on = state[w] != 0.0;
    const V e = level[w];
    V x;
    std::memcpy(&x, in + kWidth * w, sizeof x);
    const V cv = amount[w] * e + cutoff[w] + mod;
    // Coefficients are cached against the index, lane by lane. After every sample the index of each
    // active lane is its control value's, so the same control values (as a held envelope gives) need
    // no new look.
    const bool held = laneMask(cv == lastCv[w]) == kAll;
    lastCv[w] = cv;
    V i{};
    int changed = 0;
    if (!held) {
      if (!roundLanes(cv * 17281.0, i)) [[unlikely]]
#pragma GCC unroll 4
        for (int k = 0; k < kWidth; ++k) i[k] = VCF::roundHalfAway(cv[k] * 17281.0);
      changed = laneMask(on & ~(i == index[w]));
    }
    if (changed) [[unlikely]] {
#pragma GCC unroll 4
      for (int k = 0; k < kWidth; ++k) {
        if (!(changed & (1 << k))) continue;
        const VCF::Coefficients c = VCF::coefficients(*cards[card[kWidth * w + k]].vcf.rates, i[k], r[w][k]);
        index[w][k] = i[k];
        K[w][k] = c.K, C[w][k] = c.C, B[w][k] = c.B, G[w][k] = c.G, G4[w][k] = c.G4, norm[w][k] = c.norm;
        recomputed[w][k] += 1.0;
      }
    }
    // A state spoilt by a NaN or infinite sample restarts from 0.
    V a1 = s1[w] + d[w], a2 = s2[w] + d[w], a3 = s3[w] + d[w], a4 = s4[w] + d[w];
    if (laneMask(finiteLanes(s1[w] + s2[w] + s3[w] + s4[w]) | ~on) != kAll) [[unlikely]] {
      a1 = finiteLanes(s1[w]) ? a1 : V{};
      a2 = finiteLanes(s2[w]) ? a2 : V{};
      a3 = finiteLanes(s3[w]) ? a3 : V{};
      a4 = finiteLanes(s4[w]) ? a4 : V{};
    }
    d[w] = on ? -d[w] : d[w];
    const V S = ((a1 * G[w] + a2) * G[w] + a3) * G[w] + a4;
    const V u = (G4[w] * x + S) * norm[w];
    const V y = on ? u * C[w] * e : V{};
    const V h = clampLanes(u);
    const V t1 = G[w] * (x - K[w] * h);
    const V y1 = a1 + t1;
    const V t2 = G[w] * y1;
    const V y2 = a2 + t2;
    const V t3 = G[w] * y2;
    const V y3 = a3 + t3;
    const V t4 = G[w] * y3;
    const V y4 = a4 + t4;
    s1[w] = on ? t1 - B[w] * y1 : s1[w];
    s2[w] = on ? t2 - B[w] * y2 : s2[w];
    s3[w] = on ? t3 - B[w] * y3 : s3[w];
    s4[w] = on ? t4 - B[w] * y4 : s4[w];
    return y;
  }

  VoiceCard (&cards)[6];
  int slot[6];       // each card's lane, -1 if it does not take part
  int card[kLanes];  // each lane's card, -1 if none
  int count;         // cards taking part
  int used;          // vectors in use
  bool steady[kVectors] = {};  // envelopes standing still, vector by vector
  // Filters and envelopes, lane by lane.
  V G[kVectors], B[kVectors], K[kVectors], C[kVectors], G4[kVectors], norm[kVectors], index[kVectors],
      r[kVectors], s1[kVectors], s2[kVectors], s3[kVectors], s4[kVectors], d[kVectors], cutoff[kVectors],
      amount[kVectors], recomputed[kVectors], level[kVectors], target[kVectors], coefficient[kVectors],
      state[kVectors], lastCv[kVectors];
};
