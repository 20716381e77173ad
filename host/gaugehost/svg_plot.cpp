#include "host/gaugehost/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

#include "host/gaugehost/text_format.h"
#include "host/panel_host.h"

namespace gaugehost {
namespace {

constexpr double kLeft = 230.0;   // room for the lane labels
constexpr double kRight = 30.0;
constexpr double kWidth = 1100.0;
constexpr double kPlotWidth = kWidth - kLeft - kRight;
constexpr double kLane = 34.0;
constexpr double kLimitThreshold = 6144.0;
constexpr double kTrimBand = 0.02;

std::string escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

std::string baseName(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// A tick step of 1, 2 or 5 times a power of ten giving at most about ten ticks.
double tickStep(double span) {
  const double rough = span / 8.0;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (double factor : {1.0, 2.0, 5.0, 10.0}) {
    if (factor * power >= rough) return factor * power;
  }
  return 10.0 * power;
}

class Plot {
 public:
  Plot(const Recording& recording, const std::string& title)
      : recording_(recording), endSeconds_(std::max(recording.endMicroseconds, uint64_t{1}) / 1e6) {
    y_ = 48.0;
    body_ << "<text x=\"" << kLeft << "\" y=\"26\" class=\"title\">" << escape(title) << "</text>\n";
  }

  std::string finish(bool sounds, bool keys) {
    axis();
    legend(sounds, keys);
    std::ostringstream svg;
    const double height = y_ + 20.0;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << number(height)
        << "\" viewBox=\"0 0 " << kWidth << " " << number(height) << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
        << "<style>\n"
        << ".title{font-size:16px;font-weight:bold}.section{font-size:14px;font-weight:bold}\n"
        << ".lane-label{fill:#222}.lane-note{fill:#777;font-size:10px}.grid{stroke:#e4e4e4}\n"
        << ".lane{fill:#f7f7f7}.axis{stroke:#333}.axis-label{fill:#333}\n"
        << ".sound.once{fill:#4c78a8}.sound.loop{fill:#f58518}.sound.trim{fill:#f58518}\n"
        << ".end.finished{fill:#fff;stroke:#222;stroke-width:1.5}.end.stopped{stroke:#d62728;stroke-width:2.5}\n"
        << ".set{fill:#54a24b}.write{fill:#b279a2}.value{font-size:9px;fill:#333}\n"
        << ".trim-line{fill:none;stroke:#4c78a8;stroke-width:2}.band{fill:#dff0d8}.zero{stroke:#999;stroke-dasharray:4 3}\n"
        << ".step{fill:none;stroke:#333;stroke-width:1.5}.threshold{stroke:#d62728;stroke-dasharray:5 3}\n"
        << ".key.raise{fill:#2ca02c}.key.lower{fill:#d62728}.key.set{fill:#1f77b4;stroke:#000}\n"
        << ".box{fill:#ffbf00;stroke:#000}\n"
        << "</style>\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n"
        << body_.str() << "</svg>\n";
    return svg.str();
  }

  void korvane3(int gaugeIndex) {
    const Recording::Gauge& gauge = recording_.gauges[gaugeIndex];
    section(gauge.name + " (sound player)");
    // Slots that did anything: a sound, a setting of its variable, a write.
    std::map<std::string, int> slotOfVariable;
    std::set<int> active;
    if (gauge.configured) {
      for (const KorvaneSlot& slot : gauge.configuration.slots) slotOfVariable.emplace(slot.variable, slot.index);
    }
    for (const auto& sound : recording_.sounds) {
      if (sound.gauge == gaugeIndex && sound.slot >= 0) active.insert(sound.slot);
    }
    for (const auto* marks : {&recording_.sets, &recording_.writes}) {
      for (const auto& mark : *marks) {
        auto found = slotOfVariable.find(mark.name);
        if (found != slotOfVariable.end() && (mark.gauge == -1 || mark.gauge == gaugeIndex)) active.insert(found->second);
      }
    }
    if (active.empty()) note("no slot did anything");
    for (int slot : active) {
      const KorvaneSlot& configured = gauge.configuration.slots[slot];
      const double top = lane("slot " + std::to_string(slot) + "  " + configured.variable, baseName(configured.path));
      for (const auto& sound : recording_.sounds) {
        if (sound.gauge == gaugeIndex && sound.slot == slot) soundBar(sound, top, sound.looping ? "sound loop" : "sound once");
      }
      marks(configured.variable, gaugeIndex, top);
    }
    const std::string& stop = gauge.configuration.stopVariable;
    bool stopUsed = false;
    for (const auto* list : {&recording_.sets, &recording_.writes}) {
      for (const auto& mark : *list) stopUsed = stopUsed || mark.name == stop;
    }
    if (gauge.configured && stopUsed) {
      const double top = lane("stop all  " + stop, "");
      marks(stop, gaugeIndex, top);
    }
    y_ += 10.0;
  }

  void vantric(int gaugeIndex) {
    const Recording::Gauge& gauge = recording_.gauges[gaugeIndex];
    section(gauge.name + " (trim centring)");
    trimChart();
    keyLane(gaugeIndex);
    stepLane("gate (token 60)", [](const Recording::TokenSample& s) { return s.gate; }, 0.0, 1.0, false);
    double highest = kLimitThreshold * 1.25;
    for (const auto& sample : recording_.tokens) {
      if (std::isfinite(sample.limit)) highest = std::max(highest, sample.limit * 1.1);
    }
    stepLane("limit (token 329)", [](const Recording::TokenSample& s) { return s.limit; }, 0.0, highest, true);
    const double top = lane("trim sound", "");
    for (const auto& sound : recording_.sounds) {
      if (sound.gauge == gaugeIndex) soundBar(sound, top, "sound trim");
    }
    y_ += 10.0;
  }

  void boxes() {
    if (recording_.boxes.empty()) return;
    section("message boxes");
    const double top = lane("message box", "");
    for (const auto& box : recording_.boxes) {
      const double x = xOf(box.at);
      body_ << "<rect class=\"box\" x=\"" << number(x - 5) << "\" y=\"" << number(top + 8) << "\" width=\"10\" height=\"10\">"
            << "<title>" << escape(box.text) << "</title></rect>\n";
      body_ << "<text class=\"value\" x=\"" << number(x + 8) << "\" y=\"" << number(top + 17) << "\">" << escape(box.text)
            << "</text>\n";
    }
  }

 private:
  double xOf(uint64_t microseconds) const { return kLeft + (microseconds / 1e6) / endSeconds_ * kPlotWidth; }

  void section(const std::string& title) {
    y_ += 8.0;
    body_ << "<text x=\"10\" y=\"" << number(y_ + 12) << "\" class=\"section\">" << escape(title) << "</text>\n";
    y_ += 22.0;
  }

  void note(const std::string& text) {
    body_ << "<text x=\"" << kLeft << "\" y=\"" << number(y_ + 12) << "\" class=\"lane-note\">" << escape(text) << "</text>\n";
    y_ += 20.0;
  }

  // A lane with its label; returns its top.
  double lane(const std::string& label, const std::string& noteText, double height = kLane) {
    const double top = y_;
    body_ << "<rect class=\"lane\" x=\"" << kLeft << "\" y=\"" << number(top) << "\" width=\"" << kPlotWidth
          << "\" height=\"" << number(height - 4) << "\"/>\n";
    body_ << "<text class=\"lane-label\" x=\"10\" y=\"" << number(top + (noteText.empty() ? height / 2 + 2 : 13))
          << "\">" << escape(label) << "</text>\n";
    if (!noteText.empty()) {
      body_ << "<text class=\"lane-note\" x=\"10\" y=\"" << number(top + 26) << "\">" << escape(noteText) << "</text>\n";
    }
    y_ += height;
    return top;
  }

  void soundBar(const Recording::Sound& sound, double top, const std::string& cls) {
    const double x0 = xOf(sound.start);
    const double x1 = std::max(xOf(sound.end), x0 + 1.5);
    body_ << "<rect class=\"" << cls << "\" x=\"" << number(x0) << "\" y=\"" << number(top + 9) << "\" width=\""
          << number(x1 - x0) << "\" height=\"12\"><title>" << escape(sound.source) << (sound.looping ? " looping " : " once ")
          << seconds(sound.start) << " s to " << seconds(sound.end) << " s</title></rect>\n";
    if (sound.how == Recording::Sound::Finished) {
      body_ << "<circle class=\"end finished\" cx=\"" << number(x1) << "\" cy=\"" << number(top + 15) << "\" r=\"4\"/>\n";
    } else if (sound.how == Recording::Sound::Stopped) {
      body_ << "<path class=\"end stopped\" d=\"M" << number(x1 - 4) << " " << number(top + 11) << " l8 8 m0 -8 l-8 8\"/>\n";
    }
  }

  // Settings of a variable by the scenario (above the bar) and writes by the gauge (below).
  // Values of marks too close to label apart share one label: "1, 2".
  void marks(const std::string& variable, int gaugeIndex, double top) {
    std::vector<std::pair<double, double>> sets;
    for (const auto& mark : recording_.sets) {
      if (mark.name != variable) continue;
      const double x = xOf(mark.at);
      sets.emplace_back(x, mark.value);
      body_ << "<path class=\"set\" d=\"M" << number(x - 4) << " " << number(top + 1) << " h8 l-4 6 z\"><title>set "
            << escape(variable) << " = " << shortNumber(mark.value) << " at " << seconds(mark.at) << " s</title></path>\n";
    }
    labels(sets, top + 8);
    std::vector<std::pair<double, double>> writes;
    for (const auto& mark : recording_.writes) {
      if (mark.name != variable || mark.gauge != gaugeIndex) continue;
      const double x = xOf(mark.at);
      writes.emplace_back(x, mark.value);
      body_ << "<path class=\"write\" d=\"M" << number(x) << " " << number(top + 21) << " l4 4 l-4 4 l-4 -4 z\"><title>"
            << "the gauge writes " << escape(variable) << " = " << shortNumber(mark.value) << " at " << seconds(mark.at)
            << " s</title></path>\n";
    }
    labels(writes, top + 29);
  }

  void labels(const std::vector<std::pair<double, double>>& marks, double y) {
    constexpr double kCharacterWidth = 5.5;
    for (size_t i = 0; i < marks.size();) {
      std::string text = shortNumber(marks[i].second);
      size_t next = i + 1;
      while (next < marks.size() && marks[next].first < marks[i].first + 8 + text.size() * kCharacterWidth) {
        text += ", " + shortNumber(marks[next].second);
        ++next;
      }
      body_ << "<text class=\"value\" x=\"" << number(marks[next - 1].first + 5) << "\" y=\"" << number(y) << "\">"
            << escape(text) << "</text>\n";
      i = next;
    }
  }

  template <typename Field>
  std::string stepPath(Field field, double low, double high, double top, double height) const {
    std::ostringstream path;
    const auto yOf = [&](double value) {
      if (!std::isfinite(value)) value = value > 0 ? high : low;
      const double clamped = std::min(std::max(value, low), high);
      return top + height - (clamped - low) / (high - low) * height;
    };
    const auto& samples = recording_.tokens;
    for (size_t i = 0; i < samples.size(); ++i) {
      const double x = xOf(samples[i].at);
      const double y = yOf(field(samples[i]));
      if (i == 0) {
        path << "M" << number(x) << " " << number(y);
      } else {
        path << " H" << number(x) << " V" << number(y);
      }
    }
    if (!samples.empty()) path << " H" << number(kLeft + kPlotWidth);
    return path.str();
  }

  void trimChart() {
    const double height = 180.0;
    double lowest = -0.1;
    double highest = 0.1;
    for (const auto& sample : recording_.tokens) {
      if (!std::isfinite(sample.trim)) continue;
      lowest = std::min(lowest, sample.trim);
      highest = std::max(highest, sample.trim);
    }
    const double pad = (highest - lowest) * 0.08;
    lowest -= pad;
    highest += pad;
    const double top = y_;
    const double plotTop = top + 4;
    const double plotHeight = height - 12;
    const auto yOf = [&](double value) { return plotTop + plotHeight - (value - lowest) / (highest - lowest) * plotHeight; };
    body_ << "<rect class=\"lane\" x=\"" << kLeft << "\" y=\"" << number(top) << "\" width=\"" << kPlotWidth
          << "\" height=\"" << number(height - 4) << "\"/>\n";
    body_ << "<rect class=\"band\" x=\"" << kLeft << "\" y=\"" << number(yOf(kTrimBand)) << "\" width=\"" << kPlotWidth
          << "\" height=\"" << number(yOf(-kTrimBand) - yOf(kTrimBand)) << "\"><title>the band of +-0.02 where centring ends</title></rect>\n";
    body_ << "<line class=\"zero\" x1=\"" << kLeft << "\" x2=\"" << kLeft + kPlotWidth << "\" y1=\"" << number(yOf(0))
          << "\" y2=\"" << number(yOf(0)) << "\"/>\n";
    body_ << "<text class=\"lane-label\" x=\"10\" y=\"" << number(top + 16) << "\">trim (token 783)</text>\n";
    body_ << "<text class=\"lane-note\" x=\"10\" y=\"" << number(top + 30) << "\">green band: +-0.02</text>\n";
    // The value axis: its top, zero and its bottom.
    for (double value : {highest - pad, 0.0, lowest + pad}) {
      body_ << "<text class=\"axis-label\" text-anchor=\"end\" x=\"" << kLeft - 4 << "\" y=\"" << number(yOf(value) + 4)
            << "\">" << shortNumber(std::round(value * 1000) / 1000) << "</text>\n";
    }
    body_ << "<path class=\"trim-line\" d=\""
          << stepPath([](const Recording::TokenSample& s) { return s.trim; }, lowest, highest, plotTop, plotHeight)
          << "\"/>\n";
    y_ += height;
  }

  void keyLane(int gaugeIndex) {
    const double top = lane("key events", "raise, lower, set");
    for (const auto& key : recording_.keys) {
      if (key.gauge != gaugeIndex) continue;
      const double x = xOf(key.at);
      const double middle = top + 15;
      if (key.eventId == host::kTrimRaiseEventId) {
        body_ << "<path class=\"key raise\" d=\"M" << number(x) << " " << number(middle - 6) << " l5 10 h-10 z\"><title>"
              << seconds(key.at) << " s raise trim</title></path>\n";
      } else if (key.eventId == host::kTrimLowerEventId) {
        body_ << "<path class=\"key lower\" d=\"M" << number(x) << " " << number(middle + 6) << " l5 -10 h-10 z\"><title>"
              << seconds(key.at) << " s lower trim</title></path>\n";
      } else if (key.eventId == host::kTrimSetEventId) {
        body_ << "<circle class=\"key set\" cx=\"" << number(x) << "\" cy=\"" << number(middle) << "\" r=\"5\"><title>"
              << seconds(key.at) << " s set trim to 0</title></circle>\n";
      } else {
        body_ << "<rect class=\"key other\" x=\"" << number(x - 3) << "\" y=\"" << number(middle - 3)
              << "\" width=\"6\" height=\"6\"><title>" << hex(key.eventId) << "</title></rect>\n";
      }
    }
  }

  template <typename Field>
  void stepLane(const std::string& label, Field field, double low, double high, bool threshold) {
    const double top = lane(label, threshold ? "red: 6144, centring stops" : "0 arms, 1 runs");
    const double plotTop = top + 4;
    const double plotHeight = kLane - 12;
    if (threshold) {
      const double y = plotTop + plotHeight - (kLimitThreshold - low) / (high - low) * plotHeight;
      body_ << "<line class=\"threshold\" x1=\"" << kLeft << "\" x2=\"" << kLeft + kPlotWidth << "\" y1=\"" << number(y)
            << "\" y2=\"" << number(y) << "\"/>\n";
    }
    body_ << "<path class=\"step\" d=\"" << stepPath(field, low, high, plotTop, plotHeight) << "\"/>\n";
  }

  void axis() {
    const double top = y_ + 4;
    const double step = tickStep(endSeconds_);
    body_ << "<line class=\"axis\" x1=\"" << kLeft << "\" x2=\"" << kLeft + kPlotWidth << "\" y1=\"" << number(top)
          << "\" y2=\"" << number(top) << "\"/>\n";
    for (int i = 0; i * step <= endSeconds_ + 1e-9; ++i) {
      const double t = i * step;
      const double x = kLeft + t / endSeconds_ * kPlotWidth;
      body_ << "<line class=\"grid\" x1=\"" << number(x) << "\" x2=\"" << number(x) << "\" y1=\"48\" y2=\"" << number(top)
            << "\"/>\n";
      body_ << "<line class=\"axis\" x1=\"" << number(x) << "\" x2=\"" << number(x) << "\" y1=\"" << number(top)
            << "\" y2=\"" << number(top + 5) << "\"/>\n";
      body_ << "<text class=\"axis-label\" text-anchor=\"middle\" x=\"" << number(x) << "\" y=\"" << number(top + 18)
            << "\">" << shortNumber(std::round(t * 1000) / 1000) << "</text>\n";
    }
    body_ << "<text class=\"axis-label\" text-anchor=\"middle\" x=\"" << number(kLeft + kPlotWidth / 2) << "\" y=\""
          << number(top + 36) << "\">time (s)</text>\n";
    y_ = top + 48;
  }

  void legend(bool sounds, bool keys) {
    const double y = y_;
    double x = kLeft;
    const auto item = [&](const std::string& shape, const std::string& text) {
      body_ << shape << "<text class=\"lane-note\" x=\"" << number(x + 14) << "\" y=\"" << number(y + 10) << "\">"
            << escape(text) << "</text>\n";
      x += 24 + text.size() * 6.0;
    };
    const auto at = [&](double dx) { return number(x + dx); };
    if (keys) {
      item("<path class=\"key raise\" d=\"M" + at(5) + " " + number(y + 2) + " l5 10 h-10 z\"/>", "raise trim");
      item("<path class=\"key lower\" d=\"M" + at(5) + " " + number(y + 12) + " l5 -10 h-10 z\"/>", "lower trim");
      item("<circle class=\"key set\" cx=\"" + at(5) + "\" cy=\"" + number(y + 7) + "\" r=\"5\"/>", "set trim to 0");
    }
    if (sounds) {
      item("<rect class=\"sound once\" x=\"" + at(0) + "\" y=\"" + number(y + 2) + "\" width=\"10\" height=\"10\"/>", "plays once");
    }
    item("<rect class=\"sound loop\" x=\"" + at(0) + "\" y=\"" + number(y + 2) + "\" width=\"10\" height=\"10\"/>", "loops");
    if (sounds) {
      item("<circle class=\"end finished\" cx=\"" + at(5) + "\" cy=\"" + number(y + 7) + "\" r=\"4\"/>", "played to its end");
    }
    item("<path class=\"end stopped\" d=\"M" + at(1) + " " + number(y + 3) + " l8 8 m0 -8 l-8 8\"/>", "stopped");
    if (sounds) {
      item("<path class=\"set\" d=\"M" + at(1) + " " + number(y + 4) + " h8 l-4 6 z\"/>", "set by the scenario");
      item("<path class=\"write\" d=\"M" + at(5) + " " + number(y + 3) + " l4 4 l-4 4 l-4 -4 z\"/>", "written by the gauge");
    }
    y_ += 20;
  }

  const Recording& recording_;
  const double endSeconds_;
  double y_ = 0.0;
  std::ostringstream body_;
};

}  // namespace

std::string plotSvg(const Recording& recording, const std::string& title) {
  Plot plot(recording, title);
  bool sounds = false;
  bool keys = false;
  for (size_t i = 0; i < recording.gauges.size(); ++i) {
    if (recording.gauges[i].kind != GaugeKind::Vantric) continue;
    plot.vantric(static_cast<int>(i));
    keys = true;
  }
  for (size_t i = 0; i < recording.gauges.size(); ++i) {
    if (recording.gauges[i].kind != GaugeKind::Korvane3) continue;
    plot.korvane3(static_cast<int>(i));
    sounds = true;
  }
  plot.boxes();
  return plot.finish(sounds, keys);
}

}  // namespace gaugehost
