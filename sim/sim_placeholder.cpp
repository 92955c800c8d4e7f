// placeholder until the simulated rig lands
