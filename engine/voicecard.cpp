#include "voicecard.h"

void VoiceCard::setSampleRate(double fs) {
  active = false;
  vcf.setSampleRate(fs);
  // Settings of a card that never received parameters.
  env.setSampleRate(fs);
  env.setAttack(0.01);
  env.setDecay(0.0);
  env.setSustain(1.0);
  env.setRelease(0.1);
}

void VoiceCard::gateOn() {
  active = true;
  env.start();
}

void VoiceCard::gateOff() { env.stop(); }

void VoiceCard::setParam(int index, double value) {
  switch (index) {
    case 25: cutoff = value; break;               // "VCF: Cutoff"
    case 26: vcf.setResonance(value); break;      // "VCF: Resonance"
    case 27: envAmount = value; break;            // "VCF: Envelope"
    case 28: env.setAttack(value); break;         // "Envelope: Attack"
    case 29: env.setDecay(value); break;          // "Envelope: Decay"
    case 30: env.setSustain(value); break;        // "Envelope: Sustain"
    case 31: env.setRelease(value); break;        // "Envelope: Release"
    default: break;
  }
}

