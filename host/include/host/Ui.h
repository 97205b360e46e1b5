// ui: the host's notifications.
#pragma once

class CNotificationBase {
protected:
  explicit CNotificationBase(int kind);  // registers the object for notifications of kind
  virtual ~CNotificationBase();          // unregisters it

public:
  CNotificationBase(const CNotificationBase&) = delete;
  CNotificationBase& operator=(const CNotificationBase&) = delete;

  // The host's delivery; the notification template passes it on to OnNotify.
  virtual void NotifyPasser(CNotificationBase* sender, const void* data) = 0;

  int Kind() const { return m_kind; }

private:
  int m_kind;
};

// The notification that the application is going to the background.
struct CNotifyKXGoingBackground {
  static constexpr int kKind = 1;
};

template <class Notification>
class CNotify : public CNotificationBase {
public:
  void NotifyPasser(CNotificationBase* /*sender*/, const void* data) override {
    OnNotify(*static_cast<const Notification*>(data));
  }
  virtual void OnNotify(const Notification& notification) = 0;

protected:
  CNotify() : CNotificationBase(Notification::kKind) {}
  ~CNotify() override = default;
};
