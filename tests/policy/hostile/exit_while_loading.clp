; A value computed while loading that ends the engine.
(deftemplate world (slot food_supply) (slot change_FS))
(deftemplate colony (slot food_reserves) (slot population) (slot change_FR) (slot num_gathering_ants))
(defglobal ?*gone* = (exit 3))
