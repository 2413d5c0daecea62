// The error status every operation leaves behind: a code and a text joined by "; ".
#include "session/directory_base.h"

namespace zn {

void CZNDirectoryBase::AppendErrorStatusText(const std::string& text, bool replace) {
    if (replace) {
        m_errorStatusText = text;
        return;
    }
    if (!m_errorStatusText.empty()) {
        m_errorStatusText += "; ";
    }
    m_errorStatusText += text;
}

void CZNDirectoryBase::SetErrorStatus(long code, const std::string& text) {
    SetErrorStatusCode(code);
    AppendErrorStatusText(text, true);
}

}  // namespace zn
