// The score. A minor throughout; one palette (saw pad, square/saw plucks,
// driven saw bass, FM bells, a saw lead, machine drums). Every section is
// four 4/4 bars, and the tempo of each section is set by its length, so
// every section begins exactly on a part change of the demo; neighbouring
// tempi differ by at most 10.5 %. Each part change is a downbeat with a crash
// and a kick, after fills that stop an eighth early and a 14 dB breath of the
// whole mix in the last 80 ms.
//
//  #  seconds     bpm   part          what happens
//  1   0.0- 8.3  115.7  title         Am Am F G: pad rises out of silence as
//                                     its filter opens; bells; a noise riser
//  2   8.3-16.6  115.7  eye           Am F Dm E: crash, kick and boom; half-
//                                     time drums, dark wavering pad, long bass
//                                     notes, a bell motif in the delay; fill
//  3  16.6-25.1  112.9  spiral        Am F C G: four-to-the-floor, sixteenth
//                                     arpeggios whose filter opens over the
//                                     section, offbeat octave bass; riser
//  4  25.1-33.5  114.3  spike balls   Am Am F G: heavy driven bass riff in
//                                     sixteenths, syncopated kick, big snare
//  5  33.5-41.7  117.1  spike balls   as 4 with the lead melody, busier hats;
//                                     the floor drops out on the last beat
//  6  41.7-50.1  114.3  cloth         F C Dm E: breakdown; crash and boom, no
//                                     beat, plucks and pad; the kick returns
//                                     in bar 3, snare roll and riser build
//  7  50.1-57.7  126.3  lattice       Am F C G: climax; everything, open hats,
//                                     lead an octave up doubled below, bright
//                                     arps and pad, a crash in bar 3
//  8  57.7-65.6  121.5  outro         F Dm Esus4 E: the beat thins out and
//                                     stops, bells descend; at 65.6 the final
//                                     A major chord, faded out by 66.45
#include "tools/bake/music/score.h"

#include <algorithm>
#include <cmath>

#include "tools/bake/music/instruments.h"
#include "tools/bake/music/loudness.h"

namespace music {

namespace {

// Section s (0..7) starts at 0 or at a part change; "section" 8 is the
// final chord and keeps the tempo of section 7.
double SectionStart(int s) { return s == 0 ? 0.0 : kSyncTimes[s - 1]; }
double BeatLength(int s) {
  if (s >= 8) s = 7;
  return (kSyncTimes[s] - SectionStart(s)) / 16.0;
}
// Time of beat `b` (quarter notes from the section's first downbeat).
double T(int s, double b) { return SectionStart(s) + b * BeatLength(s); }

struct Chord {
  int pad[3];  // voicing around middle C
  int bass;    // root, octave 2
};
const Chord kAm{{57, 60, 64}, 45};
const Chord kF{{57, 60, 65}, 41};
const Chord kC{{55, 60, 64}, 48};
const Chord kG{{55, 59, 62}, 43};
const Chord kDm{{57, 62, 65}, 38};
const Chord kE{{56, 59, 64}, 40};
const Chord kEsus{{57, 59, 64}, 40};
const Chord kA{{57, 61, 64}, 45};

// A melody note: beat within the section, length in beats, MIDI pitch.
struct Note {
  double beat, len;
  int midi;
};

Curve Constant(double hz) {
  return [hz](double) { return hz; };
}
// Cutoff gliding exponentially from `from` Hz at t0 to `to` Hz at t1.
Curve Glide(double t0, double from, double t1, double to) {
  return [=](double t) {
    double u = std::clamp((t - t0) / (t1 - t0), 0.0, 1.0);
    return from * std::pow(to / from, u);
  };
}

void PadBar(Mix* mix, int s, int bar, const Chord& c, double vel, const Curve& cutoff,
            double beats = 4.0) {
  double t0 = T(s, bar * 4.0);
  double dur = T(s, bar * 4.0 + beats) - t0;
  for (int n : c.pad) Pad(mix, t0, dur, n, vel, cutoff);
  Pad(mix, t0, dur, c.pad[0] - 12, vel * 0.6, cutoff);
}

// Sixteenth-note arpeggio over the chord, up and down across two octaves.
void ArpBar(Mix* mix, int s, int bar, const Chord& c, double vel, double cutoffFrom,
            double cutoffTo, int stepEvery = 1, int lastStep = 16) {
  static const int kOrder[16] = {0, 1, 2, 3, 4, 3, 2, 1, 0, 2, 4, 5, 4, 2, 3, 1};
  int tones[6] = {c.pad[0] + 12, c.pad[1] + 12, c.pad[2] + 12,
                  c.pad[0] + 24, c.pad[1] + 24, c.pad[2] + 24};
  for (int step = 0; step < lastStep; step += stepEvery) {
    double b = bar * 4.0 + step * 0.25;
    double u = b / 16.0;
    double cutoff = cutoffFrom * std::pow(cutoffTo / cutoffFrom, u);
    double accent = step % 4 == 0 ? 1.0 : 0.75;
    Pluck(mix, T(s, b), BeatLength(s) * 0.2 * stepEvery, tones[kOrder[step]], vel * accent, cutoff,
          step % 2 ? 0.45f : -0.45f);
  }
}

void Melody(Mix* mix, int s, const Note* notes, size_t count, double vel, int transpose = 0) {
  for (size_t i = 0; i < count; ++i) {
    double t0 = T(s, notes[i].beat);
    Lead(mix, t0, T(s, notes[i].beat + notes[i].len) - t0 - 0.02, notes[i].midi + transpose, vel);
  }
}

// Snare fill from beat `from`, growing louder, that stops an eighth before
// the next section: the short breath makes the downbeat land.
void SnareFill(Mix* mix, int s, double from, double step, double vel) {
  for (double b = from; b < 15.5 + 1e-9; b += step) {
    double u = (b - from) / (15.5 - from + 1e-9);
    Snare(mix, T(s, b), vel * (0.45 + 0.55 * u));
  }
}

// The downbeat that opens a section: crash and kick together.
void Downbeat(Mix* mix, int s, double vel) {
  Crash(mix, T(s, 0.0), vel);
  Kick(mix, T(s, 0.0), 1.0);
}

void Section1Title(Mix* mix) {
  const int s = 0;
  Curve opening = Glide(0.0, 250.0, 8.3, 2800.0);
  const Chord bars[4] = {kAm, kAm, kF, kG};
  for (int bar = 0; bar < 4; ++bar) PadBar(mix, s, bar, bars[bar], 0.9, opening);
  Bass(mix, T(s, 0), T(s, 8) - T(s, 0), 45, 0.5, 160.0, 1.2);
  Bass(mix, T(s, 8), T(s, 4) - T(s, 0), 41, 0.55, 180.0, 1.2);
  Bass(mix, T(s, 12), T(s, 3.5) - T(s, 0), 43, 0.6, 200.0, 1.2);
  const Note bells[] = {{4, 0, 76}, {5.5, 0, 72}, {7, 0, 71}, {8, 0, 77},
                        {9.5, 0, 76}, {11, 0, 72}, {12, 0, 74}, {13.5, 0, 79}};
  for (size_t i = 0; i < sizeof bells / sizeof bells[0]; ++i)
    Bell(mix, T(s, bells[i].beat), bells[i].midi, 0.8, i % 2 ? 0.5f : -0.5f);
  Riser(mix, T(s, 11.0), T(s, 15.5), 0.9);
}

void Section2Eye(Mix* mix) {
  const int s = 1;
  Downbeat(mix, s, 1.0);
  Boom(mix, T(s, 0), 0.6);
  const Chord bars[4] = {kAm, kF, kDm, kE};
  Curve dark = [](double t) { return 700.0 + 350.0 * std::sin(2.0 * kPi * (t - 8.3) / 4.15); };
  for (int bar = 0; bar < 4; ++bar) {
    PadBar(mix, s, bar, bars[bar], 0.8, dark);
    double b = bar * 4.0;
    Bass(mix, T(s, b), T(s, b + 2.5) - T(s, b) - 0.02, bars[bar].bass, 0.85, 220.0, 1.8);
    Bass(mix, T(s, b + 2.5), T(s, b + 4) - T(s, b + 2.5) - 0.02, bars[bar].bass, 0.7, 220.0, 1.8);
    // Half-time beat: kick on 1 and the "and" of 3 (beat 2.5), snare on 3.
    if (bar > 0) Kick(mix, T(s, b), 0.95);
    Kick(mix, T(s, b + 2.5), 0.8);
    Snare(mix, T(s, b + 2), bar == 3 ? 0.8 : 0.9);
    for (int e = 0; e < 8; ++e)
      Hat(mix, T(s, b + e * 0.5), e % 2 ? 0.55 : 0.35, false, e % 2 ? 0.3f : -0.3f);
  }
  const Note motif[] = {{0.5, 0, 76}, {2, 0, 72}, {3.5, 0, 71}, {4.5, 0, 69}, {6, 0, 72},
                        {7.5, 0, 77}, {8.5, 0, 74}, {10, 0, 77}, {11.5, 0, 81},
                        {12.5, 0, 80}, {14, 0, 71}, {15, 0, 76}};
  for (size_t i = 0; i < sizeof motif / sizeof motif[0]; ++i)
    Bell(mix, T(s, motif[i].beat), motif[i].midi, 0.9, i % 2 ? 0.4f : -0.4f);
  SnareFill(mix, s, 15.0, 0.25, 0.9);
}

void DrivingBeat(Mix* mix, int s, int bar, double hatVel, bool openHats) {
  double b = bar * 4.0;
  for (int q = 0; q < 4; ++q) {
    if (!(bar == 0 && q == 0)) Kick(mix, T(s, b + q), 0.95);
    if (q % 2) Snare(mix, T(s, b + q), 0.9);
  }
  for (int x = 0; x < 16; ++x) {
    bool offbeat = x % 4 == 2;
    if (openHats && offbeat)
      Hat(mix, T(s, b + x * 0.25), hatVel * 1.1, true, 0.2f);
    else
      Hat(mix, T(s, b + x * 0.25), hatVel * (x % 2 ? 0.5 : 0.8), false, x % 2 ? 0.35f : -0.35f);
  }
}

void Section3Spiral(Mix* mix) {
  const int s = 2;
  Downbeat(mix, s, 1.0);
  const Chord bars[4] = {kAm, kF, kC, kG};
  for (int bar = 0; bar < 4; ++bar) {
    PadBar(mix, s, bar, bars[bar], 0.55, Constant(1400.0));
    ArpBar(mix, s, bar, bars[bar], 0.9, 700.0, 4500.0, 1, bar == 3 ? 14 : 16);
    double b = bar * 4.0;
    for (int e = 0; e < (bar == 3 ? 7 : 8); ++e) {
      int note = bars[bar].bass + (e % 2 ? 12 : 0);
      Bass(mix, T(s, b + e * 0.5), BeatLength(s) * 0.4, note, e % 2 ? 0.75 : 0.9, 380.0, 2.0);
    }
    if (bar < 3) DrivingBeat(mix, s, bar, 0.6, false);
  }
  // Bar 4: the beat on beats 1-3, then a fill with a riser into the heavy part.
  for (int q = 0; q < 3; ++q) Kick(mix, T(s, 12 + q), 0.95);
  Snare(mix, T(s, 13), 0.9);
  for (int x = 0; x < 12; ++x) Hat(mix, T(s, 12 + x * 0.25), x % 2 ? 0.3 : 0.5, false, 0.0f);
  SnareFill(mix, s, 14.0, 0.25, 1.0);
  Riser(mix, T(s, 12.0), T(s, 15.75), 0.7);
}

// The heavy riff of the spike-ball sections: sixteenth steps, offsets from
// the chord's root.
struct RiffStep {
  int step, len, offset;
};
const RiffStep kRiff[] = {{0, 2, 0}, {3, 1, 0}, {4, 1, 12}, {6, 2, 0}, {8, 1, 0},
                          {10, 1, 7}, {11, 1, 0}, {12, 2, 12}, {14, 1, 7}, {15, 1, 0}};

void HeavyBar(Mix* mix, int s, int bar, const Chord& c, bool busyHats, bool lastBeat = true) {
  double b = bar * 4.0;
  for (const RiffStep& r : kRiff) {
    if (!lastBeat && r.step >= 14) break;
    double t0 = T(s, b + r.step * 0.25);
    double dur = BeatLength(s) * 0.25 * r.len * 0.85;
    Bass(mix, t0, dur, c.bass + r.offset, r.step % 4 ? 0.85 : 1.0, 420.0, 3.5);
  }
  // Kick: 1, the "and" of 2, 3 and its "e"; snare on 2 and 4.
  const double kicks[] = {0.0, 1.5, 2.0, 2.75};
  for (double k : kicks)
    if (!(bar == 0 && k == 0.0)) Kick(mix, T(s, b + k), 1.0);
  Snare(mix, T(s, b + 1), 1.0);
  if (lastBeat) Snare(mix, T(s, b + 3), 1.0);
  int hatStep = busyHats ? 1 : 2;
  for (int x = 0; x < (lastBeat ? 16 : 12); x += hatStep)
    Hat(mix, T(s, b + x * 0.25), x % 4 == 2 ? 0.75 : 0.45, busyHats && x % 8 == 6,
        x % 2 ? 0.4f : -0.4f);
}

void Section4SpikeBalls(Mix* mix) {
  const int s = 3;
  Downbeat(mix, s, 1.0);
  Boom(mix, T(s, 0), 0.4);
  const Chord bars[4] = {kAm, kAm, kF, kG};
  for (int bar = 0; bar < 4; ++bar) {
    PadBar(mix, s, bar, bars[bar], 0.45, Constant(900.0));
    ArpBar(mix, s, bar, bars[bar], 0.55, 900.0, 1500.0, 2);
    HeavyBar(mix, s, bar, bars[bar], false, bar < 3);
  }
  SnareFill(mix, s, 15.0, 0.25, 1.0);
}

void Section5SpikeBallsLead(Mix* mix) {
  const int s = 4;
  Downbeat(mix, s, 1.0);
  const Chord bars[4] = {kAm, kAm, kF, kG};
  for (int bar = 0; bar < 4; ++bar) {
    PadBar(mix, s, bar, bars[bar], 0.45, Constant(1100.0));
    ArpBar(mix, s, bar, bars[bar], 0.5, 1200.0, 2500.0, 1, bar == 3 ? 14 : 16);
    HeavyBar(mix, s, bar, bars[bar], true, bar < 3);
  }
  const Note melody[] = {{0, 1.5, 76}, {1.5, 0.5, 74}, {2, 1, 72}, {3, 0.5, 74}, {3.5, 0.5, 76},
                         {4, 1.5, 81}, {5.5, 0.5, 79}, {6, 2, 76},
                         {8, 1, 77}, {9, 0.5, 76}, {9.5, 0.5, 74}, {10, 1.5, 72}, {11.5, 0.5, 74},
                         {12, 1, 71}, {13, 1, 74}, {14, 1.75, 79}};
  Melody(mix, s, melody, sizeof melody / sizeof melody[0], 0.85);
  // The last beat is empty but for one kick on 4: the floor drops away.
  Kick(mix, T(s, 15), 0.9);
}

void Section6Cloth(Mix* mix) {
  const int s = 5;
  Crash(mix, T(s, 0), 0.9);
  Boom(mix, T(s, 0), 0.8);
  const Chord bars[4] = {kF, kC, kDm, kE};
  Curve lift = Glide(T(s, 0), 600.0, T(s, 16), 3000.0);
  for (int bar = 0; bar < 4; ++bar) {
    PadBar(mix, s, bar, bars[bar], 0.55 + 0.1 * bar, lift);
    double b = bar * 4.0;
    // Slow plucks on the eighths, a chord tone each, getting brighter.
    for (int e = 0; e < 8; ++e) {
      static const int kWalk[8] = {0, 1, 2, 1, 0, 2, 1, 2};
      int note = bars[bar].pad[kWalk[e]] + 12 + (e >= 4 ? 12 : 0);
      Pluck(mix, T(s, b + e * 0.5), BeatLength(s) * 0.3, note, 0.45 + 0.05 * bar, 900.0 + 300.0 * bar,
            e % 2 ? 0.5f : -0.5f);
    }
    Bass(mix, T(s, b), T(s, b + 4) - T(s, b) - 0.03, bars[bar].bass, 0.45, 150.0, 1.2);
  }
  Bell(mix, T(s, 0), 81, 0.9, 0.0f);
  Bell(mix, T(s, 4), 79, 0.7, 0.3f);
  // Bar 3: the kick comes back on quarters, growing; bar 4: snare roll.
  for (int q = 0; q < 4; ++q) Kick(mix, T(s, 8 + q), 0.5 + 0.1 * q);
  for (int q = 0; q < 3; ++q) Kick(mix, T(s, 12 + q), 0.9);
  SnareFill(mix, s, 12.0, 0.5, 0.5);
  SnareFill(mix, s, 14.0, 0.25, 0.55);
  SnareFill(mix, s, 15.0, 0.125, 0.6);
  Riser(mix, T(s, 8.0), T(s, 15.75), 0.45);
}

void Section7Lattice(Mix* mix) {
  const int s = 6;
  Downbeat(mix, s, 1.1);
  Boom(mix, T(s, 0), 0.5);
  const Chord bars[4] = {kAm, kF, kC, kG};
  for (int bar = 0; bar < 4; ++bar) {
    PadBar(mix, s, bar, bars[bar], 0.8, Constant(3200.0));
    ArpBar(mix, s, bar, bars[bar], 0.7, 3000.0, 5000.0, 1, bar == 3 ? 14 : 16);
    double b = bar * 4.0;
    for (int x = 0; x < (bar == 3 ? 14 : 16); ++x) {
      bool on = x % 4 == 0;
      int note = bars[bar].bass + (x % 4 == 2 ? 12 : 0);
      if (x % 4 == 1) continue;
      Bass(mix, T(s, b + x * 0.25), BeatLength(s) * 0.2, note, on ? 1.0 : 0.8, 500.0, 3.0);
    }
    if (bar < 3) {
      DrivingBeat(mix, s, bar, 0.75, true);
    } else {
      for (int q = 0; q < 3; ++q) Kick(mix, T(s, b + q), 1.0);
      Snare(mix, T(s, b + 1), 1.0);
      for (int x = 0; x < 12; ++x) Hat(mix, T(s, b + x * 0.25), 0.5, x % 4 == 2, 0.2f);
    }
  }
  const Note melody[] = {{0, 1, 81}, {1, 0.5, 84}, {1.5, 0.5, 83}, {2, 1, 81}, {3, 1, 76},
                         {4, 1, 77}, {5, 0.5, 81}, {5.5, 0.5, 84}, {6, 1.5, 81}, {7.5, 0.5, 79},
                         {8, 1, 79}, {9, 0.5, 76}, {9.5, 0.5, 79}, {10, 1, 84}, {11, 1, 79},
                         {12, 1.5, 83}, {13.5, 0.5, 81}, {14, 1.75, 79}};
  Melody(mix, s, melody, sizeof melody / sizeof melody[0], 1.0);
  Melody(mix, s, melody, sizeof melody / sizeof melody[0], 0.55, -12);
  Crash(mix, T(s, 8), 0.7);
  SnareFill(mix, s, 15.0, 0.25, 1.0);
}

void Section8Outro(Mix* mix) {
  const int s = 7;
  Downbeat(mix, s, 0.9);
  const Chord bars[4] = {kF, kDm, kEsus, kE};
  Curve closing = Glide(T(s, 0), 2400.0, T(s, 16), 700.0);
  for (int bar = 0; bar < 4; ++bar) {
    PadBar(mix, s, bar, bars[bar], 0.8, closing, bar == 3 ? 3.0 : 4.0);
    double b = bar * 4.0;
    if (bar < 2) {
      ArpBar(mix, s, bar, bars[bar], 0.6 - 0.15 * bar, 2000.0, 900.0, 2);
      for (int q = 0; q < 4; ++q) {
        if (!(bar == 0 && q == 0)) Kick(mix, T(s, b + q), 0.85 - 0.2 * bar);
        Hat(mix, T(s, b + q + 0.5), 0.45, false, 0.3f);
      }
      Snare(mix, T(s, b + 1), 0.6);
      Snare(mix, T(s, b + 3), 0.6);
    }
    Bass(mix, T(s, b), T(s, b + 4) - T(s, b) - 0.05, bars[bar].bass, 0.6, 200.0, 1.5);
  }
  const Note bells[] = {{8, 0, 81}, {9.5, 0, 76}, {11, 0, 74}, {12, 0, 71}, {13.5, 0, 68}};
  for (size_t i = 0; i < sizeof bells / sizeof bells[0]; ++i)
    Bell(mix, T(s, bells[i].beat), bells[i].midi, 0.8, i % 2 ? 0.4f : -0.4f);
  // Two soft snares lead into the final chord.
  Snare(mix, T(s, 15.0), 0.4);
  Snare(mix, T(s, 15.5), 0.55);

  // The end: an A major chord struck at the last part change.
  const int e = 8;
  double t = T(e, 0);
  Crash(mix, t, 0.6);
  Kick(mix, t, 0.9);
  Boom(mix, t, 0.7);
  for (int n : kA.pad) {
    Pluck(mix, t, 0.35, n + 12, 0.9, 2500.0, 0.0f);
    Bell(mix, t, n + 12, 0.5, 0.0f);
  }
  Bass(mix, t, 0.3, 45, 0.8, 250.0, 1.5);
  Pad(mix, t, 0.35, 57, 0.9, Constant(1800.0));
  Pad(mix, t, 0.35, 61, 0.9, Constant(1800.0));
  Pad(mix, t, 0.35, 64, 0.9, Constant(1800.0));
}

// Gain curve of the title: from silence to full over the first bars.
double TitleSwell(double t) {
  double u = std::clamp(t / 6.0, 0.0, 1.0);
  return u * u * (3.0 - 2.0 * u);
}

}  // namespace

Bus RenderScore() {
  Mix mix(kLengthFrames);
  Section1Title(&mix);
  Section2Eye(&mix);
  Section3Spiral(&mix);
  Section4SpikeBalls(&mix);
  Section5SpikeBallsLead(&mix);
  Section6Cloth(&mix);
  Section7Lattice(&mix);
  Section8Outro(&mix);

  size_t n = kLengthFrames;
  size_t swellEnd = static_cast<size_t>(6.0 * kSampleRate);
  for (size_t i = 0; i < swellEnd; ++i) {
    float g = static_cast<float>(TitleSwell(static_cast<double>(i) / kSampleRate));
    for (Bus* b : {&mix.tonal, &mix.delaySend, &mix.reverbSend}) {
      b->left[i] *= g;
      b->right[i] *= g;
    }
  }
  Bus out(n);
  PingPongDelay(mix.delaySend, 0.39, 0.45, 3500.0, &out);
  for (size_t i = 0; i < n; ++i) {
    mix.reverbSend.left[i] += 0.25f * out.left[i];
    mix.reverbSend.right[i] += 0.25f * out.right[i];
  }
  Reverb(mix.reverbSend, 0.8, 0.5, &out);
  for (size_t i = 0; i < n; ++i) {
    float duck = mix.duck[i];
    out.left[i] += mix.tonal.left[i] * duck + std::tanh(1.2f * mix.drums.left[i]) / 1.2f;
    out.right[i] += mix.tonal.right[i] * duck + std::tanh(1.2f * mix.drums.right[i]) / 1.2f;
  }
  // A breath before every part change: the whole mix ducks by 14 dB for the
  // last 80 ms and comes back on the downbeat, so the new section lands.
  for (double sync : kSyncTimes) {
    size_t from = static_cast<size_t>((sync - 0.11) * kSampleRate);
    size_t to = static_cast<size_t>(std::llround(sync * kSampleRate));
    for (size_t i = from; i < to && i < n; ++i) {
      double t = static_cast<double>(i) / kSampleRate - (sync - 0.11);
      double w = std::min({1.0, t / 0.03, (0.11 - t) / 0.002});
      float g = static_cast<float>(1.0 - 0.8 * w);
      out.left[i] *= g;
      out.right[i] *= g;
    }
  }
  return out;
}

}  // namespace music

namespace music {

double Master(Bus* mix, double targetLufs, double ceilingDb) {
  size_t n = mix->Frames();
  // Rumble and DC out: a gentle 25 Hz high-pass on both sides.
  Svf hl, hr;
  hl.Set(25.0, 0.707);
  hr.Set(25.0, 0.707);
  for (size_t i = 0; i < n; ++i) {
    mix->left[i] = hl.Run(mix->left[i]).high;
    mix->right[i] = hr.Run(mix->right[i]).high;
  }
  // The tail: full level until 65.95 s, a half-cosine to silence at 66.45 s.
  const double fadeFrom = 65.95, fadeTo = 66.45;
  auto fade = [&](Bus* b) {
    for (size_t i = static_cast<size_t>(fadeFrom * kSampleRate); i < n; ++i) {
      double t = static_cast<double>(i) / kSampleRate;
      double u = std::min(1.0, (t - fadeFrom) / (fadeTo - fadeFrom));
      float g = static_cast<float>(0.5 + 0.5 * std::cos(kPi * u));
      b->left[i] *= g;
      b->right[i] *= g;
    }
  };
  double ceiling = DbToGain(ceilingDb);
  double gain = 1.0;
  double measured = 0.0;
  Bus work(0);
  // The limiter makes loudness a little less than proportional to gain, so
  // home in on the target in a few steps.
  for (int pass = 0; pass < 6; ++pass) {
    work = *mix;
    for (size_t i = 0; i < n; ++i) {
      work.left[i] *= static_cast<float>(gain);
      work.right[i] *= static_cast<float>(gain);
    }
    Limit(&work, ceiling, 0.003, 0.08);
    fade(&work);
    measured = IntegratedLoudness(work.left.data(), work.right.data(), n, kSampleRate);
    if (std::fabs(measured - targetLufs) < 0.05) break;
    gain *= DbToGain(targetLufs - measured);
  }
  *mix = std::move(work);
  return measured;
}

}  // namespace music
