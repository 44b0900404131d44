#pragma once

#include "adsr.h"
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

  // process() in two halves for running the cards side by side: begin()
  // returns the card's output, end() completes its filter's sample.
  double begin(double in, double mod, VCF::Pending& p) {
    if (!active) return 0.0;
    const double e = env.getLevel();
    return vcf.estimate(in, envAmount * e + cutoff + mod, p) * e;
  }
  void end(const VCF::Pending& p) {
    if (active) vcf.advance(p);
  }

  bool isActive() const { return active; }
  const ADSR& envelope() const { return env; }
  const VCF& filter() const { return vcf; }

private:
  VCF vcf;
  ADSR env;
  bool active = false;
  double cutoff = 0.0;
  double envAmount = 0.0;
};
