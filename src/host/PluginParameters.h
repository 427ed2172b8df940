#pragma once
// The instrument's parameters as the generic editor reads and sets them, over the plug-in
// wrapper (user-interface thread). The wrapper reads every text into a large buffer and
// terminates it, whatever the plug-in writes.

#include "plugin/VstPlugin.h"
#include "ui/GenericEditorAccess.h"

namespace host {

class CPluginParameters : public IParameterAccess {
public:
    explicit CPluginParameters(CVstPlugin& plugin) : m_plugin(plugin) {}
    virtual ~CPluginParameters() = default;

    int Count() override { return m_plugin.Faulted() ? 0 : m_plugin.NumParams(); }
    std::string Name(int index) override { return m_plugin.GetParamName(index); }
    std::string Display(int index) override { return m_plugin.GetParamDisplay(index); }
    std::string Label(int index) override { return m_plugin.GetParamLabel(index); }
    float Value(int index) override { return m_plugin.GetParameter(index); }
    void SetValue(int index, float value) override { m_plugin.SetParameter(index, value); }
    std::string InstrumentName() override
    {
        const std::string name = m_plugin.GetEffectName();
        return name.empty() ? m_plugin.GetProductString() : name;
    }

private:
    CVstPlugin& m_plugin;
};

}  // namespace host
