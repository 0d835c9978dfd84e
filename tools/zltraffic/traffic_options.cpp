#include "tools/zltraffic/traffic_options.h"

#include <cstdlib>

namespace zl::traffic {
namespace {

bool ParseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return *end == '\0' && value >= 0;
}

bool ParseWhole(const std::string& text, long& value) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return *end == '\0';
}

bool ParseEvent(ClientEvent::Kind kind, const std::string& text, ClientEvent& event) {
  const std::size_t at = text.find('@');
  long client = 0;
  double seconds = 0;
  if (at == std::string::npos || !ParseWhole(text.substr(0, at), client) || !ParseNumber(text.substr(at + 1), seconds)) {
    return false;
  }
  if (client < 1 || client > kMaxClients) return false;
  event = {kind, int(client), seconds};
  return true;
}

bool ParseMix(const std::string& text, std::array<unsigned, kActivities.size()>& mix) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    const std::string item = text.substr(start, end - start);
    const std::size_t equals = item.find('=');
    long weight = 0;
    if (equals == std::string::npos || !ParseWhole(item.substr(equals + 1), weight) || weight > 1000) return false;
    const auto activity = ActivityByName(item.substr(0, equals));
    if (!activity) return false;
    mix[std::size_t(*activity)] = unsigned(weight);
    start = end + 1;
  }
  return TotalWeight(mix) > 0;
}

}  // namespace

unsigned TotalWeight(const std::array<unsigned, kActivities.size()>& mix) {
  unsigned total = 0;
  for (unsigned weight : mix) total += weight;
  return total;
}

Activity PickActivity(const std::array<unsigned, kActivities.size()>& mix, unsigned value) {
  for (std::size_t i = 0; i < mix.size(); ++i) {
    if (value < mix[i]) return kActivities[i];
    value -= mix[i];
  }
  return kActivities.back();
}

std::optional<TrafficOptions> ParseTrafficOptions(const std::vector<std::string>& args, std::string& error) {
  TrafficOptions options;
  const std::pair<const char*, ClientEvent::Kind> eventOptions[] = {
      {"--join", ClientEvent::Kind::Join},
      {"--quiet", ClientEvent::Kind::Quiet},
      {"--wake", ClientEvent::Kind::Wake},
      {"--leave", ClientEvent::Kind::Leave},
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--idle") {
      options.idle = true;
      continue;
    }
    if (i + 1 >= args.size()) {
      error = option.rfind("--", 0) == 0 ? option + " needs a value" : "unknown argument " + option;
      return std::nullopt;
    }
    const std::string& value = args[++i];
    long whole = 0;
    double number = 0;
    bool known = true, valid = true;
    if (option == "--clients") {
      valid = ParseWhole(value, whole) && whole >= 1 && whole <= kMaxClients;
      options.clients = int(whole);
    } else if (option == "--rate") {
      valid = ParseNumber(value, number) && number > 0 && number <= 100;
      options.rate = number;
    } else if (option == "--mix") {
      valid = ParseMix(value, options.mix);
    } else if (option == "--for") {
      valid = ParseNumber(value, number) && number > 0;
      options.forSeconds = number;
    } else if (option == "--seed") {
      valid = ParseWhole(value, whole);
      options.seed = unsigned(whole);
    } else {
      known = false;
      for (const auto& [name, kind] : eventOptions) {
        if (option != name) continue;
        known = true;
        ClientEvent event;
        valid = ParseEvent(kind, value, event);
        options.events.push_back(event);
      }
    }
    if (!known) {
      error = "unknown option " + option;
      return std::nullopt;
    }
    if (!valid) {
      error = "not a valid value for " + option + ": " + value;
      return std::nullopt;
    }
  }
  for (const ClientEvent& event : options.events) {
    if (event.client > options.clients) {
      error = "client " + std::to_string(event.client) + " is beyond --clients " + std::to_string(options.clients);
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace zl::traffic
