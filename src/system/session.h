#pragma once

// Ending the program, behind an interface so the exit button can be tested in-process.
class Session
{
public:
    virtual ~Session() = default;
    virtual void quit() = 0;
};

class ApplicationSession : public Session
{
public:
    void quit() override;
};
