// Owners for COM: the initialisation of one piece of shell work, and an
// interface pointer released when it goes.
#pragma once

#include <objbase.h>

// CoInitialize for one piece of work, balanced on the way out.
class ComScope
{
  public:
    ComScope() : m_hr(CoInitialize(nullptr)) {}
    ~ComScope()
    {
        if (SUCCEEDED(m_hr)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool ok() const { return SUCCEEDED(m_hr); } // S_FALSE (already initialised) is success

  private:
    HRESULT m_hr;
};

template <class T> class ComPtr
{
  public:
    ComPtr() = default;
    ~ComPtr()
    {
        if (m_p) m_p->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T** out() { return &m_p; }
    void** outVoid() { return reinterpret_cast<void**>(&m_p); }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

  private:
    T* m_p = nullptr;
};
