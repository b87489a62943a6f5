// Row base class of the NIC collections that carry nothing but an interface name.
#pragma once

#include <string>

class NICBaseInfo {
public:
    NICBaseInfo() = default;
    NICBaseInfo(const NICBaseInfo& other) : _interface_name(other._interface_name) {}
    virtual ~NICBaseInfo() = default;
    virtual void setInterfaceName(const std::string& name) { _interface_name = name; }
    virtual std::string getInterfaceName() const { return _interface_name; }
    virtual NICBaseInfo& operator=(const NICBaseInfo& other)
    {
        _interface_name = other._interface_name;
        return *this;
    }

protected:
    std::string _interface_name;
};

// Plain setter and const getter for one row field.
#define NIC_ROW_FIELD(Type, Name, member)                 \
public:                                                   \
    void set##Name(const Type& value) { member = value; } \
    Type get##Name() const { return member; }             \
                                                          \
private:                                                  \
    Type member{}
