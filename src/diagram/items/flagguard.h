#pragma once

// Sets a bool guard for the lifetime of the scope and restores its previous value, so a
// nested use keeps the outer setting.
class FlagGuard
{
public:
    explicit FlagGuard(bool &flag, bool value = true)
        : m_flag(flag)
        , m_saved(flag)
    {
        m_flag = value;
    }
    ~FlagGuard() { m_flag = m_saved; }

    FlagGuard(const FlagGuard &) = delete;
    FlagGuard &operator=(const FlagGuard &) = delete;

private:
    bool &m_flag;
    bool m_saved;
};
