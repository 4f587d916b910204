#pragma once
// What a process runner reports about a run. The events of one run come in
// one of two orders: OnProcessError alone, or OnProcessStart, any number of
// OnProcessOutput, OnProcessExit. Every default does nothing, so a sink
// overrides only what it needs.
class CProcessRunner;

class IProcessEvents {
public:
    // The child process has been created.
    virtual void OnProcessStart(CProcessRunner* pRunner) { (void)pRunner; }
    // The run could not begin; GetLastError() still holds the reason.
    virtual void OnProcessError(CProcessRunner* pRunner) { (void)pRunner; }
    // The run has ended; the child's process handle in m_pi is still open.
    virtual void OnProcessExit(CProcessRunner* pRunner) { (void)pRunner; }
    // One chunk of output is in the runner's m_buffer (m_dwRead bytes).
    virtual int OnProcessOutput(CProcessRunner* pRunner) { (void)pRunner; return 0; }

protected:
    // Sinks are not deleted through this interface.
    ~IProcessEvents() = default;
};
