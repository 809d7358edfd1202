#pragma once
// A "COMn:" name bound to a device in the namespace's port map for as long as the object lives,
// so that the service and its clients find the simulated receiver as they would a real one. The
// binding names this process as one that keeps the device open by design (docs/platform.md), so
// that the descriptor the simulator holds does not make the port busy.

#include <filesystem>
#include <string>

namespace tarnwick::sim {

class PortBinding {
  public:
    // Binds `requested` ("COM3:", "COM3" or "\\.\COM3"), or the first free name when it is
    // empty. Throws std::runtime_error for a malformed name or a port map that cannot be written.
    PortBinding(const std::wstring& requested, const std::filesystem::path& device);
    // Releases the binding.
    ~PortBinding();
    PortBinding(const PortBinding&) = delete;
    PortBinding& operator=(const PortBinding&) = delete;

    // The bound name in its canonical "COMn:" form.
    const std::wstring& name() const noexcept { return name_; }

    // Removes the binding now, but only while it still leads to this device: a binding someone
    // has since pointed elsewhere is not ours to remove. Later calls do nothing.
    void release() noexcept;

  private:
    std::wstring name_;
    std::filesystem::path device_;
    bool bound_ = false;
};

}  // namespace tarnwick::sim
