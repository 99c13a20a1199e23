#include "models/BlueToothSkiffCom.h"

namespace NVSystem
{

bool CBlueToothSkiffCom::IsBlueToothSkiff(CDeviceComm* device)
{
    return device != nullptr && device->IsTagged() && device->GetClassSignature() == kClassSignature;
}

CBlueToothSkiffCom* CBlueToothSkiffCom::QueryBlueToothSkiffCom()
{
    if (!IsTagged() || m_nClassSignature.load() != kClassSignature)
        return nullptr;
    AddRef();
    return this;
}

} // namespace NVSystem
