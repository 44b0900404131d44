#include "adsr.h"

#include <cmath>

double envelopeTime(double x) { return std::pow(5.0, 3.3 - 7.5 * x) + 0.05; }

void ADSR::setSampleRate(double fs) {
  rate = 2.302585092994046 / fs;
  state = Idle;
  level = 0.0;
}

void ADSR::start() {
  state = Attack;
  target = 1.1111111111111112;  // 10/9
  // An attack of 0 gets a slightly shorter stage than the time law's (about 5 ms).
  coefficient = attack > 0.0 ? rate * envelopeTime(attack) : rate * std::pow(10.0, 2.3 - 4.5 * attack);
}

void ADSR::stop() {
  if (level > 0.0) {
    target = -0.1111111111111111;  // -1/9
    coefficient = rate * envelopeTime(release);
    state = Release;
  } else {
    state = Idle;
  }
}

void ADSR::endAttack() {
  level = 1.0;
  state = Decay;
  coefficient = rate * envelopeTime(decay);
  target = sustain;
}

void ADSR::setAttack(double x) {
  attack = x;
  if (state == Attack) coefficient = rate * envelopeTime(attack);
}

void ADSR::setDecay(double x) {
  decay = x;
  if (state == Decay) coefficient = rate * envelopeTime(decay);
}

void ADSR::setSustain(double x) {
  sustain = x;
  if (state == Decay) target = sustain;
}

void ADSR::setRelease(double x) {
  release = x;
  if (state == Release) coefficient = rate * envelopeTime(release);
}
