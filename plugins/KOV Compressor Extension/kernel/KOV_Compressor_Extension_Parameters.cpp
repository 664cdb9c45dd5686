#include "KOV_Compressor_Extension_Parameters.h"

#include <string>

#include "Foundation/TextForms.h"
#include "KOVCompressorParameters.h"
#include "KOV_Compressor_ExtensionDSPKernelAdapter.h"

KOV_Compressor_Extension_Parameters::KOV_Compressor_Extension_Parameters(
    std::shared_ptr<KOV_Compressor_ExtensionDSPKernelAdapter> kernelAdapter) {
  createParameters();

  // The defaults were set on the parameters before any callback existed, so they went through
  // no observer: this is the only way they reach the kernel.
  for (const std::shared_ptr<AUParameter>& parameter : parameterTree->allParameters()) {
    kernelAdapter->setParameter(parameter.get(), parameter->value());
  }

  parameterTree->setImplementorValueObserver([kernelAdapter](AUParameter* parameter, AUValue value) {
    kernelAdapter->setParameter(parameter, value);
  });
  parameterTree->setImplementorValueProvider(
      [kernelAdapter](AUParameter* parameter) { return kernelAdapter->valueForParameter(parameter); });
  parameterTree->setImplementorStringFromValueCallback([](AUParameter* parameter, const AUValue* value) {
    const AUValue shown = value ? *value : parameter->value();
    const KOVParameterInfo* info = kovParameterInfo(parameter->address());
    return info ? kovParameterText(*info, shown) : describe(shown);
  });
}

void KOV_Compressor_Extension_Parameters::createParameters() {
  std::vector<std::shared_ptr<AUParameterNode>> children;
  for (const KOVParameterInfo& row : kKOVParameterTable) {
    auto parameter = AUParameterTree::createParameterWithIdentifier(
        std::string(row.identifier), std::string(row.name), row.address, row.minValue, row.maxValue, row.unit,
        std::nullopt, kKOVParameterFlags, std::nullopt, std::nullopt);
    parameter->setValue(row.defaultValue);
    children.push_back(std::move(parameter));
  }
  groups.push_back(AUParameterTree::createGroupWithIdentifier(
      std::string(kKOVParameterGroupIdentifier), std::string(kKOVParameterGroupName), std::move(children)));
  parameterTree = AUParameterTree::createTreeWithChildren({groups.begin(), groups.end()});
}
