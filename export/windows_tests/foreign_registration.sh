#!/bin/sh
# foreign_registration.sh SERVER_DLL
# With "Excel.Application" registered to another server, regsvr32 of the
# stand-in must fail and leave that registration alone, and so must /u.
set -eu
server=$1 other='{00000000-0000-0000-0000-0000000000AB}' key='HKCR\Excel.Application\CLSID'
wine reg add "$key" /ve /d "$other" /f >/dev/null
trap 'wine reg delete "HKCR\Excel.Application" /f >/dev/null 2>&1 || true' EXIT
if wine regsvr32 /s "$server"; then
  echo "regsvr32 replaced another server's registration" >&2
  exit 1
fi
wine regsvr32 /s /u "$server" || true
wine reg query "$key" /ve | grep -F "$other" >/dev/null || { echo "the other server's registration is gone" >&2; exit 1; }
echo "the other server's registration stays"
