#pragma once
// IParameterAccess: what the generic editor needs from an instrument, implemented by the host
// over its plug-in wrapper. Every call comes from the user-interface thread. Strings are taken
// as the plug-in gives them; the editor cleans them before showing them. Portable: no
// operating-system headers.

#include <string>

class IParameterAccess {
public:
    virtual int Count() = 0;                           // the plug-in's parameter count
    virtual std::string Name(int index) = 0;           // effGetParamName
    virtual std::string Display(int index) = 0;        // effGetParamDisplay
    virtual std::string Label(int index) = 0;          // effGetParamLabel
    virtual float Value(int index) = 0;                // getParameter, 0..1
    virtual void SetValue(int index, float value) = 0; // setParameter, 0..1
    virtual std::string InstrumentName() = 0;          // effect name or product; may be empty

protected:
    ~IParameterAccess() = default;
};
