#include "bench/netsnmp_side.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace zelsnmp::bench {

struct NetSnmpPdu {
  netsnmp_pdu* pdu;
};

struct NetSnmpNames {
  std::vector<std::vector<oid>> names;
};

namespace {

netsnmp_session& TemplateSession() {
  static netsnmp_session session;
  return session;
}

netsnmp_pdu* NewPdu(int pdu_type) {
  netsnmp_pdu* pdu = snmp_pdu_create(pdu_type);
  pdu->version = SNMP_VERSION_2c;
  pdu->reqid = kRequestId;
  pdu->msgid = kRequestId;
  pdu->community = static_cast<u_char*>(malloc(std::strlen(kCommunity)));
  std::memcpy(pdu->community, kCommunity, std::strlen(kCommunity));
  pdu->community_len = std::strlen(kCommunity);
  return pdu;
}

std::vector<oid> Arcs(const BindingSpec& spec) {
  return std::vector<oid>(spec.oid.begin(), spec.oid.end());
}

std::vector<oid> ArcsOfText(const std::string& text) {
  std::vector<oid> arcs;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t dot = text.find('.', start);
    if (dot == std::string::npos) dot = text.size();
    arcs.push_back(std::strtoul(text.substr(start, dot - start).c_str(), nullptr, 10));
    start = dot + 1;
  }
  return arcs;
}

void AddValue(netsnmp_pdu* pdu, const BindingSpec& spec) {
  std::vector<oid> name = Arcs(spec);
  switch (spec.tag) {
    case TagInteger: {
      long value = std::strtol(spec.text.c_str(), nullptr, 10);
      snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_INTEGER, &value, sizeof value);
      break;
    }
    case TagOctetString:
      snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_OCTET_STR, spec.text.data(),
                            spec.text.size());
      break;
    case TagObjectId: {
      std::vector<oid> value = ArcsOfText(spec.text);
      snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_OBJECT_ID, value.data(),
                            value.size() * sizeof(oid));
      break;
    }
    case TagIpAddress: {
      std::vector<oid> parts = ArcsOfText(spec.text);
      unsigned char bytes[4];
      for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(parts[i]);
      in_addr_t address;
      std::memcpy(&address, bytes, 4);
      snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_IPADDRESS, &address, 4);
      break;
    }
    case TagCounter32:
    case TagGauge32:
    case TagTimeTicks: {
      u_long value = std::strtoul(spec.text.c_str(), nullptr, 10);
      snmp_pdu_add_variable(pdu, name.data(), name.size(), static_cast<u_char>(spec.tag),
                            &value, sizeof value);
      break;
    }
    case TagCounter64: {
      unsigned long long full = std::strtoull(spec.text.c_str(), nullptr, 10);
      counter64 value;
      value.high = static_cast<u_long>(full >> 32);
      value.low = static_cast<u_long>(full & 0xFFFFFFFFu);
      snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_COUNTER64, &value, sizeof value);
      break;
    }
    default:
      snmp_pdu_add_variable(pdu, name.data(), name.size(), static_cast<u_char>(spec.tag),
                            nullptr, 0);
      break;
  }
}

}  // namespace

void InitNetSnmp() {
  static bool done = false;
  if (done) return;
  done = true;
  // The library keeps its state in a directory of its own, removed at exit: it would otherwise
  // create its certificate index under /var/lib/snmp or ~/.snmp.
  static char state[] = "/tmp/zelsnmp-bench-netsnmp-XXXXXX";
  if (mkdtemp(state) != nullptr) {
    setenv("SNMP_PERSISTENT_DIR", state, 1);
    setenv("SNMPCONFPATH", state, 1);
    std::atexit([] { std::filesystem::remove_all(state); });
  }
  setenv("MIBS", "", 1);
  setenv("MIBDIRS", "/nonexistent", 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
  init_snmp("zelsnmp-bench");
  snmp_sess_init(&TemplateSession());
  TemplateSession().version = SNMP_VERSION_2c;
}

NetSnmpPdu* NetSnmpFill(int pdu_type, const std::vector<BindingSpec>& specs) {
  netsnmp_pdu* pdu = NewPdu(pdu_type);
  for (const BindingSpec& spec : specs) AddValue(pdu, spec);
  return new NetSnmpPdu{pdu};
}

NetSnmpNames* NetSnmpPrepareNames(const std::vector<BindingSpec>& specs) {
  auto* names = new NetSnmpNames;
  for (const BindingSpec& spec : specs) names->names.push_back(Arcs(spec));
  return names;
}

NetSnmpPdu* NetSnmpFillNulls(const NetSnmpNames* names) {
  netsnmp_pdu* pdu = NewPdu(SNMP_MSG_GET);
  for (const std::vector<oid>& name : names->names) {
    snmp_add_null_var(pdu, name.data(), name.size());
  }
  return new NetSnmpPdu{pdu};
}

void NetSnmpFree(NetSnmpPdu* pdu) {
  snmp_free_pdu(pdu->pdu);
  delete pdu;
}

bool NetSnmpEncode(NetSnmpPdu* pdu, std::string& out) {
  static u_char* packet = static_cast<u_char*>(malloc(65536));
  static size_t packet_size = 65536;
  size_t offset = 0;
  if (snmp_build(&packet, &packet_size, &offset, &TemplateSession(), pdu->pdu) != 0) {
    return false;
  }
  // Reverse encoding fills the buffer from its end.
  out.assign(reinterpret_cast<const char*>(packet + packet_size - offset), offset);
  return true;
}

std::int64_t NetSnmpDecodeAndRead(const std::string& bytes) {
  netsnmp_pdu* pdu = static_cast<netsnmp_pdu*>(calloc(1, sizeof(netsnmp_pdu)));
  netsnmp_session session = TemplateSession();
  std::int64_t sum = 0;
  if (snmp_parse(nullptr, &session, pdu,
                 reinterpret_cast<u_char*>(const_cast<char*>(bytes.data())), bytes.size()) != 0) {
    snmp_free_pdu(pdu);
    return -1;
  }
  for (netsnmp_variable_list* var = pdu->variables; var != nullptr; var = var->next_variable) {
    sum += var->name_length;
    switch (var->type) {
      case ASN_INTEGER:
      case ASN_COUNTER:
      case ASN_GAUGE:
      case ASN_TIMETICKS:
        sum += *var->val.integer;
        break;
      case ASN_COUNTER64:
        sum += var->val.counter64->low;
        break;
      case ASN_OBJECT_ID:
        sum += var->val.objid[var->val_len / sizeof(oid) - 1];
        break;
      case ASN_OCTET_STR:
      case ASN_IPADDRESS:
        if (var->val_len > 0) sum += var->val.string[0];
        sum += var->val_len;
        break;
      default:
        sum += var->type;
        break;
    }
  }
  snmp_free_pdu(pdu);
  return sum;
}

void* NetSnmpOpenSession(int port, int timeout_ms) {
  InitNetSnmp();
  netsnmp_session session;
  snmp_sess_init(&session);
  std::string peer = "udp:127.0.0.1:" + std::to_string(port);
  session.peername = const_cast<char*>(peer.c_str());
  session.version = SNMP_VERSION_2c;
  session.community = reinterpret_cast<u_char*>(const_cast<char*>(kCommunity));
  session.community_len = std::strlen(kCommunity);
  session.timeout = timeout_ms * 1000L;
  session.retries = 0;
  return snmp_open(&session);
}

bool NetSnmpSyncGet(void* session, const NetSnmpNames* names) {
  netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GET);
  for (const std::vector<oid>& name : names->names) {
    snmp_add_null_var(pdu, name.data(), name.size());
  }
  netsnmp_pdu* response = nullptr;
  const int status = snmp_synch_response(static_cast<netsnmp_session*>(session), pdu, &response);
  const bool ok = status == STAT_SUCCESS && response != nullptr;
  if (response != nullptr) snmp_free_pdu(response);
  return ok;
}

void NetSnmpCloseSession(void* session) { snmp_close(static_cast<netsnmp_session*>(session)); }

void* NetSnmpOpenV3Session(int port, int timeout_ms, const std::string& user,
                           const std::string& auth_passphrase,
                           const std::string& priv_passphrase) {
  InitNetSnmp();
  netsnmp_session session;
  snmp_sess_init(&session);
  std::string peer = "udp:127.0.0.1:" + std::to_string(port);
  session.peername = const_cast<char*>(peer.c_str());
  session.version = SNMP_VERSION_3;
  session.securityName = const_cast<char*>(user.c_str());
  session.securityNameLen = user.size();
  session.securityLevel = SNMP_SEC_LEVEL_AUTHPRIV;
  session.securityAuthProto = usmHMAC192SHA256AuthProtocol;
  session.securityAuthProtoLen = OID_LENGTH(usmHMAC192SHA256AuthProtocol);
  session.securityAuthKeyLen = USM_AUTH_KU_LEN;
  if (generate_Ku(session.securityAuthProto, session.securityAuthProtoLen,
                  reinterpret_cast<const u_char*>(auth_passphrase.data()), auth_passphrase.size(),
                  session.securityAuthKey, &session.securityAuthKeyLen) != SNMPERR_SUCCESS) {
    return nullptr;
  }
  session.securityPrivProto = usmAESPrivProtocol;
  session.securityPrivProtoLen = OID_LENGTH(usmAESPrivProtocol);
  session.securityPrivKeyLen = USM_PRIV_KU_LEN;
  if (generate_Ku(session.securityAuthProto, session.securityAuthProtoLen,
                  reinterpret_cast<const u_char*>(priv_passphrase.data()), priv_passphrase.size(),
                  session.securityPrivKey, &session.securityPrivKeyLen) != SNMPERR_SUCCESS) {
    return nullptr;
  }
  session.timeout = timeout_ms * 1000L;
  session.retries = 0;
  return snmp_open(&session);
}

}  // namespace zelsnmp::bench
