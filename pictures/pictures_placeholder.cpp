// placeholder until the picture tools land
