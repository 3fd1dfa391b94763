#pragma once

namespace qby::client {

// Set once the request has reached a running or freshly launched store client; never cleared.
// The process has exactly one, owned by the entry point; the clean-up at termination reads it.
class HandOffFlag {
public:
    bool isSet() const { return set_; }
    void set() { set_ = true; }

private:
    bool set_ = false;
};

}  // namespace qby::client
