#pragma once

// Writes the samples of one channel as keys. With reduce, a sample equal to
// the last key written is held back, and when a different sample follows,
// the last one held back is written first: a hold then ends where it ended,
// and a slow drift (each step within the tolerance of the one before) still
// moves, since samples are compared with the last key, not with each other.
template <class Value>
class SampleWriter
{
public:
    using Equal = bool (*)(const Value&, const Value&);

    SampleWriter(bool reduce, Equal equal) : m_Reduce(reduce), m_Equal(equal) {}

    // write(time, value) adds one key.
    template <class Write>
    void Add(float time, const Value& value, Write&& write)
    {
        if (m_Reduce && m_HasKey && m_Equal(value, m_Last)) {
            m_Held = true;
            m_HeldTime = time;
            m_HeldValue = value;
            return;
        }
        if (m_Held)
            write(m_HeldTime, m_HeldValue);
        m_Held = false;
        write(time, value);
        m_Last = value;
        m_HasKey = true;
    }

private:
    bool m_Reduce;
    Equal m_Equal;
    bool m_HasKey = false;
    Value m_Last{};
    bool m_Held = false;
    float m_HeldTime = 0.0f;
    Value m_HeldValue{};
};
