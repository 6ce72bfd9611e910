#pragma once

// Marks a piece of work as running for as long as the scope lives, so that a nested event
// loop cannot start it a second time. Only the scope that found the flag clear enters (and
// clears it again at its end); a nested one tests false and should return at once.
namespace platform {

class BusyScope
{
public:
    explicit BusyScope(bool &flag) : m_flag(flag), m_entered(!flag) { m_flag = true; }
    ~BusyScope()
    {
        if (m_entered)
            m_flag = false;
    }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;
    explicit operator bool() const { return m_entered; }

private:
    bool &m_flag;
    bool m_entered;
};

} // namespace platform
