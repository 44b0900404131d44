#pragma once

// Envelope time law for a knob position x in 0 ... 1: a stage of coefficient
// rate * envelopeTime(x), rate = ln 10 / fs, takes about 1 / envelopeTime(x) seconds.
double envelopeTime(double x);

// Attack / decay-sustain / release envelope. Every stage moves the level a
// fraction of the way towards a target beyond its end point (10/9 rising,
// -1/9 falling) and stops at the end point, so stages end in finite time.
class ADSR {
public:
  enum State { Idle = 0, Attack = 1, Decay = 2, Release = 3 };

  void setSampleRate(double fs);
  void start();
  void stop();
  void setAttack(double x);
  void setDecay(double x);
  void setSustain(double x);
  void setRelease(double x);

  // One step.
  void update() {
    if (state == Idle) return;
    level = level + (target - level) * coefficient;
    if (state == Attack) {
      if (level >= 1.0) endAttack();
    } else if (level <= 0.0) {
      level = 0.0;
      state = Idle;
    }
  }

  bool isOn() const { return state != Idle; }
  double getLevel() const { return level; }
  int getState() const { return state; }

private:
  template <class>
  friend class CardLanes;  // runs the envelopes of several cards side by side

  void endAttack();  // out of line: evaluates the time law once per note

  double level = 0.0;
  double attack = 0.0;
  double decay = 0.0;
  double sustain = 0.0;
  double release = 0.0;
  int state = Idle;
  double rate = 0.002302585092994046;  // ln 10 / 1000
  double target = 0.0;
  double coefficient = 0.0;
};
