# Sourced by prepare-prefix.sh while a prefix is made (build_dir, WINEPREFIX and quiet are set).
# Makes the test certificate authority and a certificate for "localhost" in the build folder,
# once, and trusts the authority in this prefix's LocalMachine Root store only. The authority
# may sign names below "localhost" only.
test_ca="$build_dir/test-ca"
if [ ! -f "$test_ca/localhost.pem" ]; then
    mkdir -p "$test_ca"
    openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj '/CN=Orvantis Hub Test CA' \
        -keyout "$test_ca/ca.key" -out "$test_ca/ca.pem" \
        -addext 'basicConstraints=critical,CA:true' \
        -addext 'keyUsage=critical,keyCertSign,cRLSign' \
        -addext 'nameConstraints=critical,permitted;DNS:localhost' 2>/dev/null
    openssl req -newkey rsa:2048 -nodes -subj '/CN=localhost' \
        -keyout "$test_ca/localhost.key" -out "$test_ca/localhost.csr" 2>/dev/null
    printf '%s\n' 'basicConstraints=CA:false' 'keyUsage=critical,digitalSignature,keyEncipherment' \
        'extendedKeyUsage=serverAuth' 'subjectAltName=DNS:localhost' >"$test_ca/localhost.ext"
    openssl x509 -req -in "$test_ca/localhost.csr" -days 3650 -CA "$test_ca/ca.pem" \
        -CAkey "$test_ca/ca.key" -CAcreateserial -extfile "$test_ca/localhost.ext" \
        -out "$test_ca/localhost.pem" 2>/dev/null
fi

# A registry entry of the Root store: the key is the SHA-1 thumbprint, the value "Blob" holds
# the certificate as property 32 (flags 1, length, DER bytes).
ca_thumbprint=$(openssl x509 -in "$test_ca/ca.pem" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
ca_length=$(openssl x509 -in "$test_ca/ca.pem" -outform DER | wc -c)
ca_bytes=$(openssl x509 -in "$test_ca/ca.pem" -outform DER | od -An -v -tx1 | tr -s ' \n' ',,' |
    sed 's/^,//; s/,$//')
{
    printf 'REGEDIT4\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\%s]\r\n' \
        "$ca_thumbprint"
    printf '"Blob"=hex:20,00,00,00,01,00,00,00,%02x,%02x,%02x,%02x,%s\r\n' \
        $((ca_length & 255)) $((ca_length >> 8 & 255)) $((ca_length >> 16 & 255)) \
        $((ca_length >> 24 & 255)) "$ca_bytes"
} >"$test_ca/trust-ca.reg"
quiet wine reg import "Z:$test_ca/trust-ca.reg"
