// CStringArray: a growable array of CString.
#pragma once
#include "framework/String.h"

#include <vector>

class CStringArray {
  public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    const CString& GetAt(int index) const { return m_items[index]; }
    void Add(const CString& item) { m_items.push_back(item); }
    void RemoveAll() { m_items.clear(); }

  private:
    std::vector<CString> m_items;
};
