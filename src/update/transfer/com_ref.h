#pragma once
// Owns one reference to a COM interface and releases it when it goes.
template <typename Interface> class ComRef {
  public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For calls that hand out a new reference through a pointer to a pointer.
    void** put() {
        reset();
        return reinterpret_cast<void**>(&pointer_);
    }
    // Keeps a reference of its own to an interface that someone else owns.
    void keep(Interface* pointer) {
        reset();
        pointer_ = pointer;
        if (pointer_)
            pointer_->AddRef();
    }
    void reset() {
        if (pointer_)
            pointer_->Release();
        pointer_ = nullptr;
    }

  private:
    Interface* pointer_ = nullptr;
};
