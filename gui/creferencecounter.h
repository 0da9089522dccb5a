// Shared ownership of views, bitmaps, drawing contexts and drag containers:
// whoever creates one and hands it on calls forget when done.
#pragma once

namespace VSTGUI
{

class CReferenceCounter
{
public:
    CReferenceCounter() = default;
    virtual ~CReferenceCounter() = default;
    CReferenceCounter(const CReferenceCounter&) = delete;
    CReferenceCounter& operator=(const CReferenceCounter&) = delete;

    virtual void forget()
    {
        if (nbReference > 0)
        {
            nbReference--;
            if (nbReference == 0)
                delete this;
        }
    }
    virtual void remember() { nbReference++; }
    long getNbReference() const { return nbReference; }

private:
    long nbReference = 1;
};

} // namespace VSTGUI
