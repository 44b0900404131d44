// Rendering of one segment of a control tick. The samples between two note events form spans that are
// rendered in stages: the keys' feeds and the envelopes over the whole span, then the sections and the
// effects sample by sample. No state passes from a later stage back to an earlier one within a sample,
// so every object computes exactly what it computes in a sample-by-sample loop.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "hotloop.h"
#include "lanes.h"
#include "vantorel.h"

namespace {
// Weights of the higher footages in the key sums.
constexpr double K1 = 0.5641025641025641;   // 22/39
constexpr double K2 = 0.2682926829268293;   // 11/41
constexpr double K3 = 0.14666666666666667;  // 11/75
}  // namespace

// Per-sample values of one span, stage by stage.
struct Vantorel::SpanBuffers {
  // Keys: the key gate's entries and their levels, and one bank's four footages of one key.
  unsigned char key[256];
  int present[256];
  double keyLevel[256][kSpan];
  double note[2][128][kSpan];  // per bank the notes that the keys' footages sound
  // The sections' feeds.
  double sawtooth[6][kSpan], square[6][kSpan];
  double organFeed[4][kSpan];
  double string16[kSpan], string8[kSpan];
  // Envelopes and the smoothed LFO.
  double lfo[kSpan];
  double organLevel[kSpan], stringLevel[kSpan], sawtoothLevel[kSpan], squareLevel[kSpan];
  double cardIn[kSpan][8];  // per sample the inputs of the cards' lanes
  // String section, phaser send P and direct bus D.
  double string[kSpan];
  double pL[kSpan], pR[kSpan], dL[kSpan], dR[kSpan];
};

Vantorel::SpanBuffers* Vantorel::newSpanBuffers() { return new SpanBuffers; }
void Vantorel::SpanBuffersDeleter::operator()(SpanBuffers* b) const { delete b; }
void Vantorel::touchSpanBuffers() { std::memset(static_cast<void*>(span.get()), 0, sizeof(SpanBuffers)); }

void Vantorel::renderSegment(double* left, double* right, int n) {
  int i = 0;
  while (i < n) {
    while (!noteEvents.empty() && noteEvents.front().mOffset == i) {
      const iplug::IMidiMsg msg = noteEvents.front();
      noteEvents.pop_front();
      dispatchNoteEvent(msg);
    }
    // Up to the next sample that has an event (a first event at an earlier offset waits for the next
    // segment, as it would sample by sample).
    int end = n;
    if (!noteEvents.empty() && noteEvents.front().mOffset > i && noteEvents.front().mOffset < n)
      end = noteEvents.front().mOffset;
    while (i < end) {
      const int m = std::min(end - i, kSpan);
      renderSpan(left + i, right + i, m);
      i += m;
    }
  }
}

void Vantorel::renderSpan(double* left, double* right, int n) {
  if (active) {
    mixKeys(n);
    runEnvelopes(n);
  }
  renderSections(left, right, n);
  osc1.advance(n);
  osc2.advance(n);
}

// The sample loop of a span: the voice cards and the Organ section, and one sample behind them the
// phaser and (unless it runs free over the span afterwards) the echo with the output filters. Built once
// for each kind of echo, so that each loop keeps only its own state in registers.
template <bool EchoFree, class Cards>
VANTOREL_INLINE void Vantorel::renderSamples(Cards& cards, Phaser::Run& sweep, BBDDelay::Run& echo, double* left,
                                             double* right, int n, bool synth) {
  SpanBuffers& b = *span;
  [[maybe_unused]] BBDDelay::Run::Running running;
  if constexpr (!EchoFree) running = echo.begin();
  for (int j = 0; j <= n; ++j) {
    if (j < n) {
      double pL = 0.0, pR = 0.0, dL = 0.0, dR = 0.0;
      if (active) {
        double synthOut = 0.0;
        if (synth) {
          synthOut = cards.sample(b.cardIn[j], lfoRouting == 1 ? modDepth * b.lfo[j] : 0.0);
          if (lfoRouting == 2) synthOut = synthOut * (1.0 - (b.lfo[j] + 1.0) * modDepth);
        }
        double organ = 0.0;
        if (organOn) {
          const double o16 = organ16 * organFilters[0].LP6::process(b.organFeed[0][j]);
          const double o8 = organ8 * organFilters[1].LP6::process(b.organFeed[1][j]);
          const double o4 = organ4 * organFilters[2].LP6::process(b.organFeed[2][j]);
          const double o2 = organ2 * organFilters[3].LP6::process(b.organFeed[3][j]);
          organ = (o16 + o8 + o4 + o2) * b.organLevel[j];
        }
        const double string = stringOn ? b.string[j] : 0.0;
        const double synthL = synthOut * synthGain[0], synthR = synthOut * synthGain[1];
        const double organL = organ * organGain[0], organR = organ * organGain[1];
        const double stringL = string * stringGain[0], stringR = string * stringGain[1];
        if (phaserOn) {
          double& toStringL = phaserString ? pL : dL;
          double& toStringR = phaserString ? pR : dR;
          toStringL = stringL;
          toStringR = stringR;
          (phaserSynth ? pL : dL) += synthL;
          (phaserSynth ? pR : dR) += synthR;
          (phaserOrgan ? pL : dL) += organL;
          (phaserOrgan ? pR : dR) += organR;
        } else {
          dL = organL + (synthL + stringL);
          dR = organR + (synthR + stringR);
        }
      }
      b.pL[j] = pL;
      b.pR[j] = pR;
      b.dL[j] = dL;
      b.dR[j] = dR;
    }
    if (j > 0) {
      const int k = j - 1;
      double dL = b.dL[k], dR = b.dR[k];
      if (phaserOn) {
        double pL = b.pL[k], pR = b.pR[k];
        sweep.sample(pL, pR);
        dL += pL;
        dR += pR;
      }
      if constexpr (EchoFree) {
        b.dL[k] = dL;
        b.dR[k] = dR;
        continue;
      }
      echo.sample(running, dL, dR);
      left[k] = outLP6[0].LP6::process(outHP6[0].LP6::process(dL));
      right[k] = outLP6[1].LP6::process(outHP6[1].LP6::process(dR));
    }
  }
  if constexpr (!EchoFree) echo.end(running);
}

// The sections and effects of a span. The String section depends only on the keys' feeds and runs over
// the whole span first. The voice cards and the Organ section go sample by sample with the effects one
// sample behind, so that the cards' long recursion overlaps the effects' short ones; delay clocks fast
// enough to run free do so over the span afterwards, followed by the output filters. V: the lanes'
// vectors.
template <class V>
VANTOREL_INLINE void Vantorel::renderSectionsWith(double* left, double* right, int n) {
  SpanBuffers& b = *span;
  if (active && stringOn) {
    double s[kSpan], e[kSpan];
    for (int j = 0; j < n; ++j) s[j] = b.string16[j] + stringFootages * (b.string8[j] - b.string16[j]);
    Ensemble::Run<V> strings(ensemble);
    strings.run(s, e, n);
    strings.finish();
    for (int j = 0; j < n; ++j) b.string[j] = stringHP6.LP6::process(s[j] * stringTimbre + 0.5 * e[j]) * b.stringLevel[j];
  }

  CardLanes<V> cards(voiceCards);
  const bool synth = active && synthOn;
  if (synth) {
    // The cards' inputs lane by lane, sample by sample.
    for (int c = 0; c < 6; ++c) {
      const int l = cards.lane(c);
      if (l < 0) continue;
      for (int j = 0; j < n; ++j) b.cardIn[j][l] = b.sawtoothLevel[j] * b.sawtooth[c][j] + b.squareLevel[j] * b.square[c][j];
    }
  }
  Phaser::Run sweep(phaser);
  BBDDelay::Run echo(delay);
  // Slow delay clocks and the output filters go with the cards, one sample behind; fast clocks run free
  // over the span after them.
  const bool echoFree = echo.runsFree();
  if (echoFree)
    renderSamples<true>(cards, sweep, echo, left, right, n, synth);
  else
    renderSamples<false>(cards, sweep, echo, left, right, n, synth);
  cards.finish(synth && n > 0);
  sweep.finish();
  if (echoFree) {
    echo.run(b.dL, b.dR, n);
    for (int j = 0; j < n; ++j) {
      left[j] = outLP6[0].LP6::process(outHP6[0].LP6::process(b.dL[j]));
      right[j] = outLP6[1].LP6::process(outHP6[1].LP6::process(b.dR[j]));
    }
  }
  echo.finish();
}

VANTOREL_NARROW void Vantorel::renderSections(double* left, double* right, int n) {
  renderSectionsWith<v2d>(left, right, n);
}
#ifdef VANTOREL_WIDE
VANTOREL_WIDE void Vantorel::renderSections(double* left, double* right, int n) {
  renderSectionsWith<v4d>(left, right, n);
}
VANTOREL_WIDE_V4 void Vantorel::renderSections(double* left, double* right, int n) {
  renderSectionsWith<v4d>(left, right, n);
}
#endif

namespace {

const double silence[kSpan] = {};

template <class T>
VANTOREL_INLINE T load(const double* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <class T>
VANTOREL_INLINE void store(double* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

// Where one key's contribution goes.
struct Feeds {
  double* organ[4];
  double* sawtooth;
  double* square;
  double* string16;
  double* string8;
};

// Adds one key at level g, its footages x (Osc.1) and y (Osc.2), to the feeds at samples j ... (as many
// as T holds).
template <bool Organ, bool Synth, bool String, class T>
VANTOREL_INLINE void addKey(int j, const double* g, const double* const* x, const double* const* y, const Feeds& to) {
  const T level = load<T>(g + j);
  const T x16 = level * load<T>(x[0] + j), x8 = level * load<T>(x[1] + j), x4 = level * load<T>(x[2] + j),
          x2 = level * load<T>(x[3] + j);
  const T y16 = level * load<T>(y[0] + j), y8 = level * load<T>(y[1] + j), y4 = level * load<T>(y[2] + j),
          y2 = level * load<T>(y[3] + j);
  if (Organ) {
    store(to.organ[0] + j, load<T>(to.organ[0] + j) + (x16 + y16));
    store(to.organ[1] + j, load<T>(to.organ[1] + j) + (x8 + y8));
    store(to.organ[2] + j, load<T>(to.organ[2] + j) + (x4 + y4));
    store(to.organ[3] + j, load<T>(to.organ[3] + j) + (x2 + y2));
  }
  if (Synth) {
    store(to.sawtooth + j,
          load<T>(to.sawtooth + j) + ((y16 + K1 * y8 + K2 * y4 + K3 * y2) + x16 + K1 * x8 + K2 * x4 + K3 * x2));
    store(to.square + j, load<T>(to.square + j) + ((x16 + y16) + K2 * (x8 + y8)));
  }
  if (String) {
    store(to.string8 + j, load<T>(to.string8 + j) + (y8 + K1 * y4 + K2 * y2));
    store(to.string16 + j, load<T>(to.string16 + j) + (y16 + K1 * y8 + K2 * y4 + K3 * y2));
  }
}

template <bool Organ, bool Synth, bool String>
VANTOREL_INLINE void addKeySpan(int len, const double* g, const double* const* x, const double* const* y,
                                const Feeds& to) {
  int j = 0;
  for (; j + 4 <= len; j += 4) addKey<Organ, Synth, String, v4d>(j, g, x, y, to);
  for (; j < len; ++j) addKey<Organ, Synth, String, double>(j, g, x, y, to);
}

}  // namespace

VANTOREL_HOT void Vantorel::mixKeys(int n) {
  SpanBuffers& b = *span;
  const int entries = keyGate.run(n, b.key, b.keyLevel, b.present);
  if (synthOn) {
    for (int c = 0; c < 6; ++c) {
      fillSpan(b.sawtooth[c], 0, n, 0.0);
      fillSpan(b.square[c], 0, n, 0.0);
    }
  }
  if (organOn)
    for (double* f : b.organFeed) fillSpan(f, 0, n, 0.0);
  if (stringOn) {
    fillSpan(b.string16, 0, n, 0.0);
    fillSpan(b.string8, 0, n, 0.0);
  }

  // Each note that some key's footage sounds is read once per bank (the String section reads Osc.2 only):
  // in increasing order, a note's two reads together, so that the reads of one wave table follow one
  // another. The notes to read are bits: notes 0 ... 63 in the first word, 64 ... 127 in the second.
  const OscBank* banks[2] = {&osc1, &osc2};
  uint64_t read[2][2] = {};
  for (int k = synthOn || organOn ? 0 : 1; k < 2; ++k) {
    for (int e = 0; e < entries; ++e) {
      const OscBank::KeyRead& r = banks[k]->keyRead(b.key[e]);
      for (int f = 0; f < 4; ++f)
        if (r.note[f] >= 0) read[k][r.note[f] >> 6] |= uint64_t{1} << (r.note[f] & 63);
    }
  }
  for (int w = 0; w < 2; ++w) {
    for (uint64_t notes = read[0][w] | read[1][w]; notes != 0; notes &= notes - 1) {
      const int bit = __builtin_ctzll(notes);
      const int m = 64 * w + bit;
      for (int k = 0; k < 2; ++k)
        if (read[k][w] >> bit & 1) banks[k]->readNote(m, n, b.note[k][m]);
    }
  }

  // Key by key in increasing order, so that every sample's sums add the keys in that order.
  for (int e = 0; e < entries; ++e) {
    const unsigned char key = b.key[e];
    const double* x[4];
    const double* y[4];
    const OscBank::KeyRead& rx = osc1.keyRead(key);
    const OscBank::KeyRead& ry = osc2.keyRead(key);
    for (int f = 0; f < 4; ++f) {
      x[f] = rx.note[f] < 0 ? silence : b.note[0][rx.note[f]];
      y[f] = ry.note[f] < 0 ? silence : b.note[1][ry.note[f]];
    }
    const Feeds to{{b.organFeed[0], b.organFeed[1], b.organFeed[2], b.organFeed[3]},
                   b.sawtooth[key % 6], b.square[key % 6], b.string16, b.string8};
    const int len = b.present[e];
    const double* g = b.keyLevel[e];
    switch ((organOn ? 4 : 0) | (synthOn ? 2 : 0) | (stringOn ? 1 : 0)) {
      case 1: addKeySpan<false, false, true>(len, g, x, y, to); break;
      case 2: addKeySpan<false, true, false>(len, g, x, y, to); break;
      case 3: addKeySpan<false, true, true>(len, g, x, y, to); break;
      case 4: addKeySpan<true, false, false>(len, g, x, y, to); break;
      case 5: addKeySpan<true, false, true>(len, g, x, y, to); break;
      case 6: addKeySpan<true, true, false>(len, g, x, y, to); break;
      case 7: addKeySpan<true, true, true>(len, g, x, y, to); break;
      default: break;
    }
  }
}

namespace {

// Runs an envelope over n samples, its level after each update into out. Its update depends on nothing
// but its own fields, which nothing else changes within a span, so an update that leaves them as they
// were does so for the rest of the span: the level is only repeated then.
template <class E, class Level>
VANTOREL_INLINE void runEnvelope(E& env, Level level, double* out, int n) {
  if (n <= 0) return;
  unsigned char before[sizeof(E)];
  std::memcpy(before, static_cast<const void*>(&env), sizeof(E));
  env.update();
  out[0] = level(env);
  if (std::memcmp(before, static_cast<const void*>(&env), sizeof(E)) == 0) {
    fillSpan(out, 1, n, out[0]);
    return;
  }
  for (int j = 1; j < n; ++j) {
    env.update();
    out[j] = level(env);
  }
}

}  // namespace

void Vantorel::runEnvelopes(int n) {
  SpanBuffers& b = *span;
  // Each envelope on its own: none depends on another.
  if (lfoSquare) {
    for (int j = 0; j < n; ++j) b.lfo[j] = lfoValue = lfoSmoother.LP6::process(lfoValue);
  } else {
    fillSpan(b.lfo, 0, n, lfoValue);
  }
  const auto gateLevel = [](const GateAR& g) { return g.level; };
  runEnvelope(organGate, gateLevel, b.organLevel, n);
  runEnvelope(stringEnv, [](const ADSR& a) { return a.getLevel(); }, b.stringLevel, n);
  runEnvelope(sawtoothGate, gateLevel, b.sawtoothLevel, n);
  runEnvelope(squareGate, gateLevel, b.squareLevel, n);
  // With the Synth section on, the cards advance their envelopes as they render.
  if (!synthOn)
    for (int j = 0; j < n; ++j)
      for (VoiceCard& card : voiceCards) card.update();
}
