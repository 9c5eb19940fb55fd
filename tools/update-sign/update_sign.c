/* Signs update manifests for the client's updater with Ed25519 (libsodium). Runs on the build
 * machine and on the update service's side, never in the client.
 *
 *   update_sign keygen <secret key file> <public key file>
 *       makes a key pair; both files hold hex text (the public key is what the client's build
 *       takes as ZARVIK_UPDATE_PUBLIC_KEY)
 *   update_sign sign <secret key file> <manifest> <signature file>
 *       writes the detached signature of the manifest's exact bytes, as hex text
 *   update_sign verify <public key file> <manifest> <signature file>
 *       exit code 0 when the signature is good
 *
 * Exit codes: 0 success, 1 bad signature, 2 usage or file error. */
#include <sodium.h>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int read_file(const char* path, unsigned char** data, size_t* size) {
  FILE* f = fopen(path, "rb");
  if (!f)
    return 0;
  size_t capacity = 4096, used = 0;
  unsigned char* buffer = malloc(capacity);
  size_t n;
  while (buffer && (n = fread(buffer + used, 1, capacity - used, f)) > 0) {
    used += n;
    if (used == capacity) {
      if (capacity > (64u << 20)) { /* no manifest is this large */
        free(buffer);
        buffer = NULL;
        break;
      }
      unsigned char* bigger = realloc(buffer, capacity * 2);
      if (!bigger) {
        free(buffer);
        buffer = NULL;
        break;
      }
      buffer = bigger;
      capacity *= 2;
    }
  }
  fclose(f);
  if (!buffer)
    return 0;
  *data = buffer;
  *size = used;
  return 1;
}

static int write_hex(const char* path, const unsigned char* bytes, size_t size) {
  char* hex = malloc(size * 2 + 1);
  if (!hex)
    return 0;
  sodium_bin2hex(hex, size * 2 + 1, bytes, size);
  FILE* f = fopen(path, "wb");
  int ok = f && fprintf(f, "%s\n", hex) > 0;
  if (f && fclose(f) != 0)
    ok = 0;
  sodium_memzero(hex, size * 2 + 1);
  free(hex);
  return ok;
}

/* Reads exactly `size` bytes written as hex (surrounding blanks allowed). */
static int read_hex(const char* path, unsigned char* out, size_t size) {
  unsigned char* text;
  size_t length;
  if (!read_file(path, &text, &length))
    return 0;
  while (length > 0 && isspace(text[length - 1]))
    --length;
  size_t start = 0;
  while (start < length && isspace(text[start]))
    ++start;
  size_t decoded = 0;
  int ok = sodium_hex2bin(out, size, (const char*)text + start, length - start, NULL, &decoded,
                          NULL) == 0 &&
           decoded == size && length - start == size * 2;
  sodium_memzero(text, length);
  free(text);
  return ok;
}

int main(int argc, char** argv) {
  if (sodium_init() < 0) {
    fprintf(stderr, "update_sign: libsodium cannot start\n");
    return 2;
  }
  if (argc == 4 && strcmp(argv[1], "keygen") == 0) {
    unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(pk, sk);
    int ok = write_hex(argv[2], sk, sizeof sk) && write_hex(argv[3], pk, sizeof pk);
    sodium_memzero(sk, sizeof sk);
    if (!ok) {
      fprintf(stderr, "update_sign: cannot write the key files\n");
      return 2;
    }
    return 0;
  }
  if (argc == 5 && (strcmp(argv[1], "sign") == 0 || strcmp(argv[1], "verify") == 0)) {
    unsigned char* manifest;
    size_t size;
    if (!read_file(argv[3], &manifest, &size)) {
      fprintf(stderr, "update_sign: cannot read %s\n", argv[3]);
      return 2;
    }
    unsigned char signature[crypto_sign_BYTES];
    int result = 2;
    if (argv[1][0] == 's') {
      unsigned char sk[crypto_sign_SECRETKEYBYTES];
      if (!read_hex(argv[2], sk, sizeof sk))
        fprintf(stderr, "update_sign: %s holds no secret key\n", argv[2]);
      else if (crypto_sign_detached(signature, NULL, manifest, size, sk) == 0 &&
               write_hex(argv[4], signature, sizeof signature))
        result = 0;
      else
        fprintf(stderr, "update_sign: cannot write %s\n", argv[4]);
      sodium_memzero(sk, sizeof sk);
    } else {
      unsigned char pk[crypto_sign_PUBLICKEYBYTES];
      if (!read_hex(argv[2], pk, sizeof pk))
        fprintf(stderr, "update_sign: %s holds no public key\n", argv[2]);
      else if (!read_hex(argv[4], signature, sizeof signature))
        fprintf(stderr, "update_sign: %s holds no signature\n", argv[4]);
      else
        result = crypto_sign_verify_detached(signature, manifest, size, pk) == 0 ? 0 : 1;
    }
    free(manifest);
    return result;
  }
  fprintf(stderr,
          "usage: update_sign keygen <secret key file> <public key file>\n"
          "       update_sign sign <secret key file> <manifest> <signature file>\n"
          "       update_sign verify <public key file> <manifest> <signature file>\n");
  return 2;
}
