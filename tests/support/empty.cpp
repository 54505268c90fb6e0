// keeps the support library non-empty before helpers land
