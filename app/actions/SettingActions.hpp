#pragma once

#include <optional>
#include <string>

#include <string>

#include "control/SettingRecords.hpp"
#include "tracking/Tracker.hpp"

namespace lumetra {

// The host's settings, and where its window is. Owner thread only.
class SettingActions {
 public:
  explicit SettingActions(Tracker& tracker) : tracker_(tracker) {}

  IdleTimeout idleTimeout(const IdleTimeoutSetting& request);
  WebPortSetting webPort(const WebPortRequest& request);
  [[nodiscard]] WindowAddress window() const;

  // Where the window is while it runs (its address with the token, and its port), or the
  // sentence saying why it is off.
  void setWindow(std::string address, int port, std::string whyOff);
  // Whether anything here tells when the user last gave input.
  void setInputSeen(bool seen) { inputSeen_ = seen; }
  // What the window's Settings show besides: the data folder, and the source of idle time found.
  void setDataFolder(std::string folder) { dataFolder_ = std::move(folder); }
  void setIdleSource(std::optional<std::string> source) { idleSource_ = std::move(source); }
  [[nodiscard]] const std::string& dataFolder() const { return dataFolder_; }
  [[nodiscard]] const std::optional<std::string>& idleSource() const { return idleSource_; }

 private:
  Tracker& tracker_;
  std::string windowAddress_;
  int windowPort_ = 0;
  std::string windowOff_ = "Lumetra's window isn't open yet.";
  bool inputSeen_ = false;
  std::string dataFolder_;
  std::optional<std::string> idleSource_;
};

}  // namespace lumetra
