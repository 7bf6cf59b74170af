// Base class of the media components (engine, player, probe, logger).
// It carries no behaviour; events pass the component as their Sender.
#pragma once

class TFFBaseComponent {
 public:
  TFFBaseComponent() = default;
  TFFBaseComponent(const TFFBaseComponent&) = delete;
  TFFBaseComponent& operator=(const TFFBaseComponent&) = delete;
  virtual ~TFFBaseComponent() = default;
};
